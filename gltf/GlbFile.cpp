// The GLB file wrapper (see GlbFile.h).
#include "gltf/GlbFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/files/OutputFile.h"

namespace tarn::gltf {
namespace {

class StreamSink : public ByteSink {
 public:
  explicit StreamSink(std::FILE* f) : file_(f) {}
  bool Write(const void* data, std::size_t size) override {
    if (std::fwrite(data, 1, size, file_) == size) return true;
    if (errno_ == 0) errno_ = errno != 0 ? errno : EIO;
    return false;
  }
  int Errno() const { return errno_; }

 private:
  std::FILE* file_;
  int errno_ = 0;
};

}  // namespace

bool MayReplace(const std::string& path, std::string_view mayBe, std::string& error) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return true;  // nothing there yet (or the output says why)
  if (!S_ISREG(st.st_mode) || st.st_size == 0) return true;
  unsigned char head[4] = {0, 0, 0, 0};
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  ssize_t got = -1;
  if (fd >= 0) {
    got = ::read(fd, head, sizeof head);
    ::close(fd);
  }
  std::uint32_t magic = 0;
  std::memcpy(&magic, head, 4);
  if (got == 4 && magic == constants::kGlbMagic) return true;
  error = path + ": an existing file that is not a binary glTF file; not written over (it may be " + std::string(mayBe) +
          ")";
  return false;
}

bool WriteGlbFile(const SceneSource& scene, const std::string& path, std::string_view mayBe, Counts& counts,
                  std::string& error) {
  counts = Counts{};
  error.clear();
  if (!MayReplace(path, mayBe, error)) return false;
  files::OutputFile out;
  // The output layer's messages may or may not name the file; ours always do.
  auto outputError = [&] { error = out.Error().rfind(path, 0) == 0 ? out.Error() : path + ": " + out.Error(); };
  if (!out.OpenHostPath(path)) {
    outputError();
    return false;
  }
  StreamSink sink(out.Stream());
  std::string why;
  if (!WriteGlb(scene, sink, counts, why)) {
    error = path + ": " + (sink.Errno() != 0 ? std::string(std::strerror(sink.Errno())) : why);
    counts = Counts{};
    return false;
  }
  if (!out.Commit()) {
    outputError();
    counts = Counts{};
    return false;
  }
  return true;
}

}  // namespace tarn::gltf

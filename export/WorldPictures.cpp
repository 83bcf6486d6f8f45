// The texture entries' picture files (see WorldPictures.h).
#include "export/WorldPictures.h"

namespace tarn::exporter {

void WorldPictures::TableReset(std::int32_t count) {
  entries_.assign(count > 0 ? static_cast<std::size_t>(count) : 0, Entry{});
  pendingIndex_ = -1;
}

void WorldPictures::Making(std::int32_t index, const std::string& file, const Image& picture) {
  if (index < 0 || static_cast<std::size_t>(index) >= entries_.size()) return;
  // The entry's old texture goes whatever becomes of the new one.
  entries_[static_cast<std::size_t>(index)] = Entry{};
  pending_ = Entry{file, PictureHash(picture)};
  pendingIndex_ = index;
}

void WorldPictures::Made(std::int32_t index, bool made) {
  if (index == pendingIndex_ && made && static_cast<std::size_t>(index) < entries_.size())
    entries_[static_cast<std::size_t>(index)] = std::move(pending_);
  pending_ = Entry{};
  pendingIndex_ = -1;
}

const WorldPictures::Entry* WorldPictures::Find(std::int32_t index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= entries_.size()) return nullptr;
  const Entry& e = entries_[static_cast<std::size_t>(index)];
  return e.file.empty() ? nullptr : &e;
}

}  // namespace tarn::exporter

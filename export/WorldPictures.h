// Which picture file each texture entry of the loaded world was made from,
// kept for the glTF export (engine/world/WorldMap.h's PictureObserver): the
// name the loader opened and a hash of what it read (its size and pixels),
// so that the export can read the file again at full colour and know it is
// still what the texture was made from. Set before the world loads
// (SetPictureObserver); the engine itself keeps none of it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/world/WorldMap.h"

namespace tarn::exporter {

class WorldPictures : public PictureObserver {
 public:
  struct Entry {
    std::string file;  // empty: not made from a file
    std::uint64_t hash = 0;
  };
  void TableReset(std::int32_t count) override;
  void Making(std::int32_t index, const std::string& file, const Image& picture) override;
  void Made(std::int32_t index, bool made) override;
  // The entry's source, or null when it was not made from a file.
  const Entry* Find(std::int32_t index) const;

 private:
  std::vector<Entry> entries_;
  Entry pending_;
  std::int32_t pendingIndex_ = -1;
};

}  // namespace tarn::exporter

// The configuration file pairs an application loaded into a camera, under their own lock.
#pragma once

#include <mutex>

#include "settings/config_file.h"

namespace tavlin::camera {

class ConfigFiles {
  public:
    // 1 when the file was read and replaced the list, 0 when it was not (the list stays).
    int Load(const char* fileName);
    // As Load; PathNotConvertible when the UTF-16 name cannot become a file name.
    settings::WideConfigLoad LoadWide(const char16_t* fileName);
    settings::ConfigList Pairs() const;
    void Clear();

  private:
    mutable std::mutex lock_;
    settings::ConfigList list_;  // guarded by lock_
};

}  // namespace tavlin::camera

#include "camera/config_files.h"

namespace tavlin::camera {

int ConfigFiles::Load(const char* fileName) {
    return settings::LoadConfigFile(fileName, list_, lock_) ? 1 : 0;
}

settings::WideConfigLoad ConfigFiles::LoadWide(const char16_t* fileName) {
    return settings::LoadConfigFileWide(fileName, list_, lock_);
}

settings::ConfigList ConfigFiles::Pairs() const {
    std::lock_guard<std::mutex> guard(lock_);
    return list_;
}

void ConfigFiles::Clear() {
    std::lock_guard<std::mutex> guard(lock_);
    list_.clear();
}

}  // namespace tavlin::camera

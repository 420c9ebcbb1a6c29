#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace tarvo::fuzz {

// A folder of this fuzzing process for readers that take a path or a program folder; in
// memory where there is such a folder, since every write syncs the file and its folder.
// Removed when the process ends normally.
class FuzzFolder {
public:
    static const std::string& Path() {
        // Never destroyed: the removal at exit runs after the statics are gone.
        static const std::string* folder = [] {
            std::filesystem::path base = std::filesystem::is_directory("/dev/shm")
                                             ? std::filesystem::path("/dev/shm")
                                             : std::filesystem::temp_directory_path();
            std::string pattern = base / "tarvo-fuzz-XXXXXX";
            std::string made = ::mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
            if (made.empty()) {
                std::abort();
            }
            std::atexit([] {
                std::error_code ignored;
                std::filesystem::remove_all(Path(), ignored);
            });
            return new std::string(made);
        }();
        return *folder;
    }

    // Writes `bytes` as the file `name` below the folder (its folders made) and returns
    // its path.
    static std::string Write(const std::string& name, std::string_view bytes) {
        std::filesystem::path path = std::filesystem::path(Path()) / name;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            std::abort();
        }
        return path.string();
    }
};

}  // namespace tarvo::fuzz

// What the fuzz targets share: a check that stops the run, and a scratch
// directory made once per process for the parsers that read a file by path.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

namespace fuzz {

// Stops the run, naming the line of the check that failed.
inline void Check(bool condition, const char* file = __builtin_FILE(),
                  int line = __builtin_LINE()) {
    if (condition)
        return;
    std::fprintf(stderr, "check failed at %s:%d\n", file, line);
    std::abort();
}

inline std::string_view Text(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// A scratch directory for this process, removed when it ends.
class CScratch {
public:
    static CScratch& Get() {
        static CScratch scratch;
        return scratch;
    }
    const std::string& Dir() const { return m_dir; }
    // Writes bytes to name in the directory (replacing it) and returns the path.
    std::string Write(const std::string& name, std::string_view bytes) const {
        const std::string path = m_dir + "/" + name;
        std::FILE* file = std::fopen(path.c_str(), "wb");
        Check(file != nullptr);
        if (!bytes.empty())
            std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
        return path;
    }

private:
    // In memory when the machine offers it: a file rewritten on a disk's file
    // system at every run is flushed by it now and then, which costs far more
    // than the parsing.
    CScratch() {
        std::string pattern = std::filesystem::is_directory("/dev/shm")
                                  ? "/dev/shm/pelmar-fuzz-XXXXXX"
                                  : "/tmp/pelmar-fuzz-XXXXXX";
        Check(::mkdtemp(pattern.data()) != nullptr);
        m_dir = pattern;
    }
    ~CScratch() {
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }
    std::string m_dir;
};

} // namespace fuzz

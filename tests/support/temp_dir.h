#pragma once
// A directory for one test's files, removed with everything in it afterwards,
// and what tests of files share.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

namespace tqtest {

class TempDir {
  public:
    TempDir() {
        char pattern[] = "/tmp/tqxml-test-XXXXXX";
        const char* made = mkdtemp(pattern);
        m_path = made ? made : "";
    }
    ~TempDir() {
        if (!m_path.empty()) std::system(("rm -rf '" + m_path + "'").c_str());
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }
    // The path of `name` in the directory.
    std::string Path(const std::string& name) const { return m_path + "/" + name; }
    // Writes `bytes` to a file of that name; returns its path.
    std::string Write(const std::string& name, const std::string& bytes) const {
        const std::string path = Path(name);
        std::ofstream(path, std::ios::binary)
            .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return path;
    }

  private:
    std::string m_path;
};

// ASCII text, a path say, as UTF-16: a plain widening.
inline std::u16string Wide(const std::string& ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

// Whether anything, a dangling link too, stands at `path`.
inline bool Exists(const std::string& path) {
    struct stat info;
    return lstat(path.c_str(), &info) == 0;
}

}  // namespace tqtest

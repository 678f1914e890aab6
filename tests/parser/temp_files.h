#pragma once
// Files written for one test and removed afterwards.
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace tqcore::parsertest {

class TempDir {
  public:
    TempDir() {
        char pattern[] = "/tmp/tqxml-parser-XXXXXX";
        m_path = mkdtemp(pattern) ? pattern : "/tmp";
    }
    ~TempDir() {
        for (const std::string& f : m_files) unlink(f.c_str());
        rmdir(m_path.c_str());
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // Writes `bytes` to a file of that name; returns its path.
    std::string Write(const std::string& name, const std::string& bytes) {
        const std::string path = m_path + "/" + name;
        std::ofstream(path, std::ios::binary)
            .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        m_files.push_back(path);
        return path;
    }
    // A path in the directory that is not written.
    std::string Missing() const { return m_path + "/missing.xml"; }

  private:
    std::string m_path;
    std::vector<std::string> m_files;
};

// UTF-16 bytes, little-endian, of ASCII text.
inline std::string Utf16Bytes(const std::string& ascii) {
    std::string out;
    for (char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

}  // namespace tqcore::parsertest

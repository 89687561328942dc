#include "test_support.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
#include <random>
#include <sstream>

namespace fs = std::filesystem;

namespace quarnset::testing {

ScratchDir::ScratchDir() {
  std::random_device rd;
  for (;;) {
    path_ = fs::temp_directory_path() / ("quarnset-test-" + std::to_string(rd()));
    if (fs::create_directory(path_)) break;
  }
}

ScratchDir::~ScratchDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

int FreePort() {
  const int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t len = sizeof a;
  getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
  close(s);
  return ntohs(a.sin_port);
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string ValidManifest() {
  return "# test set\n"                                                        // 1
         "[system]\n"                                                          // 2
         "RootDirectory = V92Demo\n"                                           // 3
         "CadSystem = QuarnCAD\n"                                              // 4
         "SubSystem = Demo\n"                                                  // 5
         "Version = 9.20\n"                                                    // 6
         "[directories]\n"                                                     // 7
         "Dir = \\QuarnWin32\n"                                                // 8
         "Dir = \\QuarnWin32\\Súgó\n"                                          // 9
         "[fonts]\n"                                                           // 10
         "Font = f.ttf | F Sans (TrueType)\n"                                  // 11
         "[file types]\n"                                                      // 12
         "Type = .qdw | Q.Rajz | QuarnWin32.exe %1 | QuarnWin32.exe,0\n"       // 13
         "[commands]\n"                                                        // 14
         "Command = [CreateGroup(Q Demo)]\n"                                   // 15
         "Command = [AddItem(%s\\hh.exe #\\QuarnWin32\\Súgó\\a.htm,Súgó)]\n"   // 16
         "[disc 1]\n"                                                          // 17
         "Label = Q 1\n"                                                       // 18
         "Systems = \\QuarnWin32.ex_ \\QuarnWin32\\QuarnWin32.exe < files/app.exe\n"  // 19
         "Systems = \\f.ttf *%\\Fonts\\f.ttf < files/f.ttf\n"                  // 20
         "[disc 2]\n"                                                          // 21
         "Label = Q 2\n"                                                       // 22
         "Help = \\a.htm,  \\QuarnWin32\\Súgó\\a.htm < files/a.htm\n";         // 23
}

void WriteManifestFiles(const ScratchDir& dir) {
  std::string app;
  for (int i = 0; i < 3001; ++i) app.push_back(static_cast<char>(i * 7));
  WriteBytes(dir / "files/app.exe", app);
  WriteBytes(dir / "files/f.ttf", std::string(1000, '\x01'));
  WriteBytes(dir / "files/a.htm", "<html>súgó</html>\r\n");
  WriteBytes(dir / "files/empty.bin", "");
}

std::string Dump(const Findings& findings) {
  std::string out;
  for (const auto& f : findings.All()) out += FormatFinding(f) + "\n";
  return out;
}

}  // namespace quarnset::testing

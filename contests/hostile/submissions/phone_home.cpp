// Calls the contest server from inside a judged run: the port is taken from
// the agent's Probator.ini when it can be read, else from the listening
// sockets on 127.0.0.1 that /proc/net/tcp shows. Once connected it could log
// in and answer for the agent; here it writes the right sum. Without a
// connection it writes a wrong one.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::vector<int> ports_to_try() {
  std::vector<int> ports;
  for (const char* config : {"../Probator.ini", "../../Probator.ini"}) {
    std::ifstream in(config);
    for (std::string line; std::getline(in, line);) {
      if (line.rfind("port=", 0) == 0) ports.push_back(std::stoi(line.substr(5)));
    }
  }
  // "  sl  local_address rem_address   st ...": 0100007F:PORT in state 0A
  // (listening) is a server on 127.0.0.1.
  std::ifstream table("/proc/net/tcp");
  std::string line;
  std::getline(table, line);
  while (std::getline(table, line) && ports.size() < 64) {
    std::istringstream fields(line);
    std::string slot, local, remote, state;
    fields >> slot >> local >> remote >> state;
    if (state == "0A" && local.rfind("0100007F:", 0) == 0) {
      ports.push_back(std::stoi(local.substr(9), nullptr, 16));
    }
  }
  return ports;
}

bool reach_server() {
  for (int port : ports_to_try()) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return false;
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(static_cast<uint16_t>(port));
    server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool connected = connect(fd, reinterpret_cast<sockaddr*>(&server), sizeof server) == 0;
    close(fd);
    if (connected) return true;
  }
  return false;
}

}  // namespace

int main() {
  long long a = 0, b = 0;
  std::ifstream in("input.txt");
  if (!(in >> a >> b)) return 1;
  std::ofstream("output.txt") << (reach_server() ? a + b : a - b) << "\n";
  return 0;
}

// Users and groups by name. Apart from the rest of the platform layer: the
// name service needs the shared C library, and the launcher is static.
#include <grp.h>
#include <pwd.h>

#include <cstdint>
#include <string>

#include "platform/processes.h"

namespace platform {

namespace {

// A decimal number that is the whole text.
bool whole_number(const std::string& text, uint32_t* value) {
  if (text.empty() || text.size() > 9 ||
      text.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  *value = static_cast<uint32_t>(std::stoul(text));
  return true;
}

}  // namespace

bool find_user_id(const std::string& name, uint32_t* uid) {
  if (whole_number(name, uid)) return true;
  passwd entry{};
  passwd* found = nullptr;
  char buffer[4096];
  if (::getpwnam_r(name.c_str(), &entry, buffer, sizeof buffer, &found) != 0 || found == nullptr) {
    return false;
  }
  *uid = found->pw_uid;
  return true;
}

bool find_group_id(const std::string& name, uint32_t* gid) {
  if (whole_number(name, gid)) return true;
  group entry{};
  group* found = nullptr;
  char buffer[4096];
  if (::getgrnam_r(name.c_str(), &entry, buffer, sizeof buffer, &found) != 0 || found == nullptr) {
    return false;
  }
  *gid = found->gr_gid;
  return true;
}

}  // namespace platform

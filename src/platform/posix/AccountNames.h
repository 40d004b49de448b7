#pragma once
// The names of a user and a group id, as ls shows them: the number when there is no name.
#include <string>
#include <sys/types.h>

namespace zopra::platform {

std::string UserName(uid_t uid);
std::string GroupName(gid_t gid);

} // namespace zopra::platform

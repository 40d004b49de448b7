#pragma once
// The names of a user and a group id, as ls shows them: the number when there is no name.
#include <string>
#include <sys/types.h>

namespace zopra::platform {

std::string UserName(uid_t uid);
std::string GroupName(gid_t gid);

// True for an id the system gives a person (and the person's own group, where each user has
// a group of their own): 1000 up to 59999 as Debian hands them out. root, the system's
// accounts and groups (dialout, lp, plugdev) and nobody/nogroup (65534) are not people.
bool IsPersonId(unsigned id);

// A node's owner and group as a report shows them, which may be sent to others: a person's
// account is "you" when it is `caller`'s own and "a user" otherwise (whoever runs the report,
// sudo included); any other keeps its name.
std::string ShownOwner(uid_t uid, uid_t caller);
std::string ShownGroup(gid_t gid, gid_t caller);

} // namespace zopra::platform

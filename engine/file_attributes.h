#pragma once
// Carries the extended attributes and permission bits of a file over to the new file that
// takes its place, so that a file written back keeps its access ACL (which Linux keeps as
// the attribute "system.posix_acl_access"), its other attributes and its mode.

#include <sys/stat.h>

// Gives the open file to every extended attribute of the open file from and the permission
// bits of fromInfo (from's status), and takes from to every attribute that from does not
// have, above all an access ACL that to inherited from its folder's default ACL. The
// permission bits are set last, so an ACL's mask follows the group bits: the group and
// others never get more than they had. from is -1 when the original cannot be read: to
// then keeps no attribute and takes fromInfo's bits.
//
// A file system without extended attributes or ACLs is no error, and an attribute that
// the process may not set or remove (EPERM, EACCES: "security." or "trusted." ones without
// the privilege) is left as it is. The access ACL is the exception: when it cannot be
// set, to keeps no access ACL, and its group bits are only those that from's ACL gave the
// owning group itself (the mask of the mode bits may grant more). The users and groups
// named in from's ACL then lose their access, which is narrower, never wider, than the
// original.
//
// False (to's attributes in any state) when an attribute of from cannot be read, when an
// inherited access ACL cannot be removed, on any other failure to set or remove, and when
// the permission bits cannot be set.
//
// Cheap without attributes: one flistxattr call for each file, and the chmod, which is
// left out when toInfo (to's status, or null) shows the right bits already and nothing
// else changed.
bool carryAttributes(int from, int to, const struct stat& fromInfo, const struct stat* toInfo = nullptr);

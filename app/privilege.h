// Who the program runs as, where that changes what it may trust: deployment
// tools start it elevated or as LocalSystem.
#pragma once

namespace app {

// Whether this process has more than its user's own rights: elevated, or
// LocalSystem. A token that cannot be asked counts as privileged.
bool RunsPrivileged();

// Called first, before any path is looked at: a privileged process trusts
// only the junctions and mount points administrators made
// (platform::EnforceRedirectionTrust), as the elevated copy does.
void GuardPrivilegedRun();

}  // namespace app

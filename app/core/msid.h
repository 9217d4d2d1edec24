#pragma once
// MSidToSam: the domain and account name behind the text form of a SID.

#include <string>

namespace sorlix::MSidToSam {

// Clears both outputs, then fills them from the local account lookup. A text
// that is no SID of at most 13 sub-authorities (each below 2^32) and a
// one-byte authority, or a part that is not a decimal number, leaves both
// empty, as does an unknown account.
void SidToSam(const std::string& sid, std::string& domain, std::string& account);

} // namespace sorlix::MSidToSam

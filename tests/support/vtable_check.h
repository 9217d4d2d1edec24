#pragma once
// Checks that an interface's members sit in the vtable slots its slot
// table fixes. Each interface lists its members in slot order in its
// InterfaceInfo, every row taking its member through a pointer to member,
// which tells the member's real slot. So a class that declares its members
// in another order, a table row out of order, or a table that differs from
// the expected list fails:
//
//   EXPECT_TRUE(testsupport::slotOrderMatches(_CCollection::info(),
//       {"Count (get)", "Add", "Remove", "Item (get)", "Clear", "NewEnum", "IsInCollection"}));
//
// Labels are the member names, properties with " (get)", " (let)" or
// " (set)" as slot tables write them. The first own member of a dual
// interface is slot 7, after IUnknown's 3 and IDispatch's 4 entries.

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/com/dispatch_table.h"

namespace testsupport {

inline ::testing::AssertionResult slotOrderMatches(const winsys::com::InterfaceInfo& info,
                                                   const std::vector<std::string>& expected,
                                                   std::size_t firstSlot = 7) {
    const auto& members = info.members();
    std::string problems;
    for (std::size_t k = 0; k < std::max(members.size(), expected.size()); ++k) {
        const std::string want = k < expected.size() ? expected[k] : "(nothing)";
        const std::string have = k < members.size() ? members[k].label() : "(nothing)";
        if (want != have)
            problems += "\n  slot " + std::to_string(firstSlot + k) + ": table has " + have + ", expected " + want;
        else if (members[k].slot != firstSlot + k)
            problems += "\n  " + have + " is declared in slot " + std::to_string(members[k].slot) + ", expected slot " +
                        std::to_string(firstSlot + k);
    }
    if (problems.empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << info.name() << ":" << problems;
}

} // namespace testsupport

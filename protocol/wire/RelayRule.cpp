// The relay rules shared by the message handlers.
#include "protocol/wire/RelayRule.h"

bool ApplyRelayRule(CMessageHeader& header) {
    if (header.IncrementHops() > kMaxRelayHops)
        return false;
    return header.DecrementTtl() != 0;
}

bool ApplyUpdateRelayRule(CMessageHeader& header, const std::function<unsigned()>& random) {
    if (header.GetHops() != 0)
        header.IncrementHops();
    else if (random() % 2 == 1)
        header.SetHops(1);
    if (header.GetHops() > kMaxRelayHops)
        return false;

    if (header.GetTtl() == CMessageHeader::kInitialTtl) {
        if (random() % 2 == 1)
            header.SetTtl(CMessageHeader::kInitialTtl - 1);
    } else {
        header.DecrementTtl();
    }
    return header.GetTtl() != 0;
}

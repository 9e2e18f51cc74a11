// The query and queryhit handlers (being built).
#include "app/PelmarDoc.h"
#include "protocol/Handlers.h"

void HandleQuery(CPelmarDoc&, CServentSocket&, CQueryMessage&) {}
void HandleQueryHit(CPelmarDoc&, CServentSocket&, CQueryHitMessage&, const CRouteEntry&) {}

// The update handler (being built).
#include "app/PelmarDoc.h"
#include "protocol/Handlers.h"

void HandleUpdate(CPelmarDoc&, CServentSocket&, CUpdateMessage&) {}

// CPelmarDoc: posting threads and responses (being built). GUI thread only.
#include "app/PelmarDoc.h"

void CPelmarDoc::PostNewThread() {}
void CPelmarDoc::PostNewResponse() {}

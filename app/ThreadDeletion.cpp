// CPelmarDoc: removing a thread from the local store. GUI thread only.
#include "app/PelmarDoc.h"

void CPelmarDoc::DeleteCurrentThread() {}

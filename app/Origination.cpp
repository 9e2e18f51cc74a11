// CPelmarDoc: the messages this node starts. GUI thread only.
#include "app/PelmarDoc.h"

void CPelmarDoc::SendPing() {}
void CPelmarDoc::SendCategoryQuery() {}
void CPelmarDoc::SendThreadQuery() {}
void CPelmarDoc::PostNewThread() {}
void CPelmarDoc::PostNewResponse() {}

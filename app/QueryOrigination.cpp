// CPelmarDoc: the queries this node starts (being built). GUI thread only.
#include "app/PelmarDoc.h"

void CPelmarDoc::SendCategoryQuery() {}
void CPelmarDoc::SendThreadQuery() {}

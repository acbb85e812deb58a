#pragma once
// The dialect passes: each rewrites a whole list in place, in time linear in its size.
#include "kzlex/linelist.h"

void PreTraitementGoogle(LineList& T);
void PreTraitementMyPhone(LineList& T);
void PostTraitementMyPhone(LineList& T);

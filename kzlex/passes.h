#pragma once
// The dialect passes: each rewrites a whole list in place, in time linear in its size.
// The input passes call `progress` every few thousand lines.
#include "kzlex/linelist.h"

void PreTraitementGoogle(LineList& T, const Progress& progress = {});
void PreTraitementMyPhone(LineList& T, const Progress& progress = {});
void PostTraitementMyPhone(LineList& T);

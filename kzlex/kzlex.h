#pragma once
// The vCard text toolkit.
#include "kzlex/cp1252.h"
#include "kzlex/errors.h"
#include "kzlex/escaping.h"
#include "kzlex/filewriter.h"
#include "kzlex/inputlines.h"
#include "kzlex/lexer.h"
#include "kzlex/linelist.h"
#include "kzlex/passes.h"
#include "kzlex/picturefolder.h"
#include "kzlex/propertyline.h"
#include "kzlex/readahead.h"
#include "kzlex/utilities.h"

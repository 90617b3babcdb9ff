// What every test expects of an update run: the four messages, as the
// program must show them, and the data version the build carries, from the
// catalogue the build was configured with. Plain UTF-8 literals, so a test
// takes them in the width it compares in: u"" EXPECTED_FAILED, L"" ..., or as they are.
#pragma once

#include "catalogue.h"

#define EXPECTED_NOTHING_TO_UPDATE "该版本无需更新."
#define EXPECTED_ALREADY_UPDATED "已经更新，无需重复更新."
#define EXPECTED_INSTALLED_PREFIX "成功更新至版本"
#define EXPECTED_FAILED "更新失败."
#define EXPECTED_DATA_VERSION CATALOGUE_DATA_VERSION
#define EXPECTED_INSTALLED EXPECTED_INSTALLED_PREFIX EXPECTED_DATA_VERSION "."

// Token-value lists: {token, value} pairs ending with token 0, the
// templates that answer token queries from the fields of a record, and the
// text form "w=640,h=480".
#pragma once

#include <cstddef>

#include "framework/hx_types.h"

struct hx_tv_template;

hx_error HxTokenValueQuery(hx_value* value, void* buffer, size_t bufferSize, hx_token t, void* record,
                           hx_tv_template* tpl);
hx_error HxTokenValueQueryMany(hx_token_value* tv, void* buffer, size_t bufferSize, int* count, void* record,
                               hx_tv_template* tpl);
hx_error HxTokenValueQueryManySize(size_t* size, hx_token_value* tv, void* record, hx_tv_template* tpl);
hx_error HxTokenValueQueryAll(hx_token_value* out, size_t bufferSize, void* record, hx_tv_template* tpl);
hx_error HxTokenValueQueryAllSize(size_t* size, void* record, hx_tv_template* tpl);
hx_bool HxTokenValueCompare(const hx_token_value* a, const hx_token_value* b);

// Token-value lists and templates.
#include "framework/tokenval.h"

hx_error HxTokenValueQuery(hx_value*, void*, size_t, hx_token, void*, hx_tv_template*)
{
    return HXE_UNKNOWN_TOKEN;
}

hx_error HxTokenValueQueryMany(hx_token_value*, void*, size_t, int* count, void*, hx_tv_template*)
{
    *count = 0;
    return HX_OK;
}

hx_error HxTokenValueQueryManySize(size_t* size, hx_token_value*, void*, hx_tv_template*)
{
    *size = 0;
    return HX_OK;
}

hx_error HxTokenValueQueryAll(hx_token_value*, size_t, void*, hx_tv_template*)
{
    return HXE_NO_ROOM;
}
hx_error HxTokenValueQueryAllSize(size_t* size, void*, hx_tv_template*)
{
    *size = 0;
    return HX_OK;
}

hx_bool HxTokenValueCompare(const hx_token_value* a, const hx_token_value* b)
{
    return a == b;
}

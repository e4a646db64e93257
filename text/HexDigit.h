#pragma once
// The value of one hexadecimal digit, for the parsers of bytes others control (uri-lists,
// Samba's and Wine's attribute texts): -1 for anything else.
inline int hexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

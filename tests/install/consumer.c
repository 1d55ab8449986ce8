/* A program built against an installed copy of the library, once through
 * the CMake package and once through pkg-config.  It only uses what an
 * application would: the installed header and library. */
#include <stdio.h>
#include <string.h>

#include <orbek_util.h>

int main(void) {
    const char doc[] = "{\"b\":[1,2],\"a\":\"\\u00e9\"}";
    orbek_json *v = orbek_json_decode(doc, (int32_t)strlen(doc));
    char *text = NULL, *b64 = NULL;
    uint8_t *back = NULL;
    int32_t len = 0, b64_len = 0, back_len = 0;
    int ok = v && orbek_json_encode(v, ORBEK_JSON_SORT, &text, &len)
             && strcmp(text, "{\"a\":\"\xc3\xa9\",\"b\":[1,2]}") == 0
             && orbek_base64encode(ORBEK_B64_NO_BREAKS, (const uint8_t *)text, len, &b64, &b64_len)
             && orbek_base64decode(ORBEK_B64_STRICT, b64, b64_len, &back, &back_len)
             && back_len == len && memcmp(back, text, (size_t)len) == 0;
    printf("%s: %s\n", orbek_util_version(), ok ? text : "FAILED");
    orbek_free(back);
    orbek_free(b64);
    orbek_free(text);
    orbek_json_free(v);
    return ok ? 0 : 1;
}

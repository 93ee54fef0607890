/* Calls interface methods the way plain C code does: through the function table that the first
   word of the interface points at, slot by slot. */
#include <stdint.h>

#include "c_caller.h"

typedef uint32_t (*QueryFn)(void* self, const void* id, void** result);
typedef uint32_t (*CountFn)(void* self);
typedef uint32_t (*AddFn)(void* self, int32_t a, int32_t b, int32_t* sum);

static void** table(void* object) { return *(void***)object; }

uint32_t c_query(void* object, const void* id, void** result) { return ((QueryFn)table(object)[0])(object, id, result); }
uint32_t c_add_ref(void* object) { return ((CountFn)table(object)[1])(object); }
uint32_t c_release(void* object) { return ((CountFn)table(object)[2])(object); }
uint32_t c_add(void* object, int32_t a, int32_t b, int32_t* sum) { return ((AddFn)table(object)[3])(object, a, b, sum); }

#pragma once
#include <stdint.h>
#ifdef __cplusplus
extern "C" {
#endif
uint32_t c_query(void* object, const void* id, void** result);
uint32_t c_add_ref(void* object);
uint32_t c_release(void* object);
uint32_t c_add(void* object, int32_t a, int32_t b, int32_t* sum);
#ifdef __cplusplus
}
#endif

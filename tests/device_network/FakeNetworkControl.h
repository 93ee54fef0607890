#pragma once
// Control entries of the fake device-network library, resolved by the tests through QLibrary.
#include <cstdint>

extern "C" {
using FakeKdnCounter = int32_t (*)();
// Library calls seen: entry point, setting (last value in *value), network creation.
using FakeKdnCalls = int32_t (*)(int32_t which, uint32_t* value);
// Makes the next setting call (which 0) or network creation (which 1) fail.
using FakeKdnFailNext = void (*)(int32_t which);
// Filter entries of the last network creation, as raw 32-bit words; returns their count.
using FakeKdnLastFilter = int32_t (*)(uint32_t* words, int32_t capacity);
// Adds a node (update id changes) or removes it (update id changes, its tasks end on a thread).
using FakeKdnPlug = void (*)(uint32_t node, uint32_t parent);
using FakeKdnUnplug = void (*)(uint32_t node);
// Lets `node` run the task with the 16 identifier bytes.
using FakeKdnSupport = void (*)(uint32_t node, const uint8_t* id);
// The 16 bytes of the identifier of the last isTaskSupported call.
using FakeKdnLastAsked = void (*)(uint8_t* id);
// startTask answers no device-side object while refuse is non-zero.
using FakeKdnRefuseStart = void (*)(int32_t refuse);
}

enum FakeKdnCall : int32_t { FakeEntryCalls = 0, FakeSettingCalls = 1, FakeNetworkCalls = 2, FakeOpenTasks = 3 };

#pragma once

namespace KestrelQt3DEngine {

// The explicit locations at which every engine shader declares its fixed uniforms.
namespace UniformLocation {
constexpr int ModelViewProjectionMatrix = 512;
constexpr int ViewProjectionMatrix = 516;
constexpr int ViewMatrix = 520;
constexpr int ProjectionMatrix = 524;
constexpr int ModelMatrix = 528;
constexpr int RenderTargerSize = 532;
} // namespace UniformLocation

} // namespace KestrelQt3DEngine

// Environment codes: reads the record, builds the environment and asks it to identify rays.
//
// Input: block(record of an environment code, before base64), then float triples: the rays
// (tracker frame, normalised here; zero or non-finite ones are skipped as no camera gives
// them), then three more floats as the origin of a matchNearPosition call.
//
// Cost bound: rigid layouts over 16 tiles or 4096 cells are not built, and a rigid
// environment gets at most 12 rays. Building costs about half a megabyte and a few
// milliseconds per tile, and the identification searches bar combinations whose count grows
// exponentially with the bars seen; without these limits a single input can take seconds,
// which hides everything else the fuzzer could find in that time.
//
// The environments built last are kept (up to keptEnvironments, with the records they were
// built from) and used again when an input starts with the same record: the fuzzer mutates each
// corpus input several times in a row, and many mutations change only the rays, while building
// costs far more than matching. Only environments that keep no state between calls are kept
// (not the adaptive quadrangle), so an input gives the same result whether its environment was
// built for it or kept, and a finding replays alone.

#include <algorithm>
#include <cmath>
#include <exception>
#include <string>
#include <utility>
#include <vector>

#include "FuzzInput.h"
#include "interface_contract/Marshal.h"
#include "tracking/environments/CreateEnvironment.h"

using namespace Kestrel::Orb::Tracking;
using Kestrel::InterfaceContract::inArray;
using Kestrel::InterfaceContract::outArray;

namespace {

constexpr size_t fuzzedRigidTiles = 16;
constexpr uint64_t fuzzedRigidCells = 4096;
constexpr size_t fuzzedRigidRays = 12;
constexpr size_t maximumRays = 64;
constexpr size_t keptEnvironments = 64;

// Environments by the record they were built from, the most recently used first.
class KeptEnvironments {
public:
    Kestrel::InterfaceContract::Ref<IEnvironment> find(std::string_view record) {
        for (size_t i = 0; i < kept_.size(); ++i) {
            if (kept_[i].first == record) {
                std::rotate(kept_.begin(), kept_.begin() + long(i), kept_.begin() + long(i) + 1);
                return kept_.front().second;
            }
        }
        return nullptr;
    }
    void keep(std::string_view record, Kestrel::InterfaceContract::Ref<IEnvironment> environment) {
        if (kept_.size() == keptEnvironments)
            kept_.pop_back();
        kept_.emplace(kept_.begin(), std::string(record), std::move(environment));
    }

private:
    std::vector<std::pair<std::string, Kestrel::InterfaceContract::Ref<IEnvironment>>> kept_;
};

bool unitRay(float x, float y, float z, Vec3f& ray) {
    const double length = std::sqrt(double(x) * x + double(y) * y + double(z) * z);
    if (!std::isfinite(length) || length < 1e-6)
        return false;
    ray = Vec3f{{float(x / length), float(y / length), float(z / length)}};
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static KeptEnvironments kept;
    FuzzInput in(data, size);
    const std::string_view record = in.block();
    EnvironmentCode code;
    try {
        code = readEnvironmentRecord(record);
    } catch (const std::runtime_error&) {
        return 0;
    }
    size_t rayLimit = maximumRays;
    if (code.rigid) {
        const RigidParameters& rigid = *code.rigid;
        if (rigid.tiles.size() > fuzzedRigidTiles || uint64_t(rigid.width) * rigid.depth > fuzzedRigidCells)
            return 0;
        rayLimit = fuzzedRigidRays;
    }
    Kestrel::InterfaceContract::Ref<IEnvironment> environment = kept.find(record);
    if (!environment) {
        try {
            environment = createEnvironment(code);
        } catch (const std::exception&) {
            return 0;
        }
        if (!environment)
            return 0;
        Kestrel::InterfaceContract::Boolean adaptive = 1;
        if (environment->isAdaptive(&adaptive) == 0 && !adaptive)
            kept.keep(record, environment);
    }

    std::vector<Vec3f> markers;
    auto markersOut = outArray(markers);
    environment->markerPositions(&markersOut);

    std::vector<Vec3f> rays;
    while (in.remaining() >= 24 && rays.size() < rayLimit) {
        const float x = in.f32(), y = in.f32(), z = in.f32();
        Vec3f ray;
        if (unitRay(x, y, z, ray))
            rays.push_back(ray);
    }
    auto raysIn = inArray(rays);
    Kestrel::InterfaceContract::Boolean found = 0;
    std::vector<MarkerIndex> indices;
    auto indicesOut = outArray(indices);
    Pose pose{};
    environment->matchRays(&raysIn, &found, &indicesOut, &pose);
    if (found && indices.size() != rays.size())
        __builtin_trap();  // one index per ray is the contract of a successful match

    const Vec3f up{{0, 1, 0}};
    Kestrel::InterfaceContract::Boolean accepted = 0;
    for (const Vec3f& ray : rays)
        environment->acceptRay(&up, &ray, &accepted);

    const Vec3f origin{{in.f32(), in.f32(), in.f32()}};
    std::vector<MarkerIndex> near;
    auto nearOut = outArray(near);
    if (environment->matchNearPosition(&raysIn, &origin, &nearOut) == 0 && near.size() != rays.size())
        __builtin_trap();
    for (MarkerIndex index : near)
        if (index < ambiguousMarker || index >= MarkerIndex(markers.size()))
            __builtin_trap();  // an index names a marker of the list, or one of the two "none" values
    if (found)
        for (MarkerIndex index : indices)
            if (index < ambiguousMarker || index >= MarkerIndex(markers.size()))
                __builtin_trap();
    return 0;
}

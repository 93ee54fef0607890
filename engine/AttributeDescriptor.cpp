#include "engine/AttributeDescriptor.h"

namespace KestrelQt3DEngine {

namespace {

constexpr unsigned kFloat = 0x1406;
constexpr unsigned kUnsignedByte = 0x1401;

struct CatalogueEntry {
    const char* name;
    int componentCount;
    unsigned componentType;
    bool normalized;
    int size;
};

// Indexed by VertexAttribute.
const CatalogueEntry kCatalogue[] = {
    {"POSITION", 3, kFloat, false, 12},
    {"SCREENOFFSET", 2, kFloat, false, 8},
    {"COLOR", 4, kUnsignedByte, true, 4},
    {"NORMAL", 3, kFloat, false, 12},
    {"TEXCOORD", 2, kFloat, false, 8},
};

} // namespace

AttributeDescriptors makeAttributeDescriptors(std::initializer_list<VertexAttribute> attributes) {
    AttributeDescriptors descriptors;
    int offset = 0;
    for (VertexAttribute attribute : attributes) {
        const CatalogueEntry& entry = kCatalogue[static_cast<int>(attribute)];
        descriptors.append({entry.name, entry.componentType, entry.componentCount, offset, 0, entry.normalized});
        offset += entry.size;
    }
    for (AttributeDescriptor& descriptor : descriptors)
        descriptor.stride = offset;
    return descriptors;
}

} // namespace KestrelQt3DEngine

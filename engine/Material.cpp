#include "engine/Material.h"

#include "engine/MaterialProperties.h"
#include "engine/ScriptOwnedParts.h"
#include "engine/Shader.h"

namespace KestrelQt3DEngine {

Material::Material(QObject* parent) : Container(parent) {}

void Material::setProperties(MaterialProperties* properties) {
    if (properties != m_properties) {
        releaseReplacedPart(this, m_properties.data());
        adoptPart(this, properties);
        m_properties = properties;
    }
    emit propertiesChanged();
}

MaterialProperties* Material::newMaterialProperties() { return new MaterialProperties(this); }

} // namespace KestrelQt3DEngine

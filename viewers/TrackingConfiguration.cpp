#include "viewers/TrackingConfiguration.h"

#include <stdexcept>

#include "interface_contract/DebugLog.h"
#include "interface_contract/LibraryLoader.h"
#include "interface_contract/Marshal.h"
#include "tracking/environments/CreateEnvironment.h"
#include "tracking/environments/PlacementCode.h"

using Kestrel::InterfaceContract::check;
using Kestrel::InterfaceContract::inArray;
using Kestrel::InterfaceContract::outArray;
using Kestrel::InterfaceContract::Ref;
using Kestrel::StorageClient::ILibrary;
using Kestrel::StorageClient::IStorage;

namespace TrackingDebug {

namespace {

const std::string defaultKey = "default";

std::string readEntry(IStorage& storage, const std::string& group) {
    Kestrel::InterfaceContract::InArray g = inArray(group), k = inArray(defaultKey);
    std::string value;
    Kestrel::InterfaceContract::OutArray out = outArray(value);
    check(&storage, storage.read(&g, &k, &out));
    return value;
}

} // namespace

Ref<IStorage> openConfigurationStorage() {
    Ref<ILibrary> library = Kestrel::InterfaceContract::load<ILibrary>(QStringLiteral("KestrelStorageClient"));
    if (!library) {
        Kestrel::logLine() << libraryMissingLine;
        return nullptr;
    }
    Ref<IStorage> storage;
    check(library.get(), library->openLocalStorage(storage.typedOut()));
    if (!storage)
        throw std::runtime_error("the storage client library returned no storage");
    return storage;
}

StoredConfiguration readStoredConfiguration(IStorage& storage) {
    StoredConfiguration configuration;
    const std::string placement = readEntry(storage, "placement");
    if (placement.empty())
        Kestrel::logLine() << noPlacementLine;
    else
        configuration.placement = Kestrel::Orb::Tracking::decodePlacementCode(placement);

    const std::string environment = readEntry(storage, "environment");
    if (environment.empty()) {
        Kestrel::logLine() << noEnvironmentLine;
        return configuration;
    }
    configuration.environment = Kestrel::Orb::Tracking::createEnvironment(environment);
    // A code of a kind this program does not know builds nothing: tracking cannot start on it.
    if (!configuration.environment)
        throw std::runtime_error("the stored environment is of a kind this program does not know");
    return configuration;
}

} // namespace TrackingDebug

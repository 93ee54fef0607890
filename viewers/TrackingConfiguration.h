#pragma once
// The stored configuration the Tracking Debug viewer needs before it starts tracking: the
// placement and the environment, read as codes from the local storage of the storage client
// library under ("placement", "default") and ("environment", "default").
//
// An entry that was never written reads as empty text. An empty placement means the tracker's
// own centre (position 0, no rotation); an empty environment means there is nothing to track
// against, and the viewer must not start its task.

#include <string>

#include "interface_contract/Ref.h"
#include "storage_client/StorageInterfaces.h"
#include "tracking/environments/EnvironmentInterfaces.h"

namespace TrackingDebug {

struct StoredConfiguration {
    Kestrel::Orb::Tracking::Placement placement{{}, Kestrel::Orb::Tracking::Quatf::identity()};
    Kestrel::InterfaceContract::Ref<Kestrel::Orb::Tracking::IEnvironment> environment;  // empty: none stored
};

// Log lines (and label texts) of the configuration.
inline constexpr char libraryMissingLine[] = "KestrelStorageClient library not found.";
inline constexpr char noEnvironmentLine[] = "No environment configured";
inline constexpr char noPlacementLine[] = "No placement configured: the tracker's own centre is used";

// This machine's storage through the storage client library (loaded by name beside the program
// first); null, after the log line libraryMissingLine, when the library cannot be loaded or
// does not hand out its interface.
Kestrel::InterfaceContract::Ref<Kestrel::StorageClient::IStorage> openConfigurationStorage();

// Reads and decodes the placement, then reads the environment and builds it. Throws
// std::exception for a failed read, a malformed or unknown placement code (with the messages of
// decodePlacementCode, e.g. "need VersionConverter implementation"), a malformed environment
// code (messages of createEnvironment) or an environment kind this program does not know; the
// environment is not read when the placement fails. An empty environment text leaves the
// result's environment empty, after the log line noEnvironmentLine.
StoredConfiguration readStoredConfiguration(Kestrel::StorageClient::IStorage& storage);

} // namespace TrackingDebug

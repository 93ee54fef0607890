// orbtool storage: reads and writes stored values through the storage client library, loaded at
// run time exactly as the program loads it.
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <iterator>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "Command.h"
#include "interface_contract/LibraryLoader.h"
#include "interface_contract/Marshal.h"
#include "storage_client/StorageInterfaces.h"

namespace {

using namespace Kestrel::InterfaceContract;
using Kestrel::StorageClient::ILibrary;
using Kestrel::StorageClient::IStorage;
using OrbTool::Arguments;

const char storageHelp[] =
    "Usage: orbtool storage [--remote ADDRESS:PORT] OPERATION ARGUMENTS...\n"
    "\n"
    "Reads and writes the values kept by the storage client library (KestrelStorageClient):\n"
    "the local storage the program uses, or with --remote a TCP storage server.\n"
    "\n"
    "Operations:\n"
    "  read GROUP KEY          print the value to stdout as raw bytes (no newline added)\n"
    "  write GROUP KEY VALUE   store VALUE; VALUE - reads standard input to its end\n"
    "  remove GROUP KEY        remove the value (a missing one is not an error)\n"
    "  next GROUP KEY          print the key that follows KEY in the group; give an empty KEY\n"
    "                          as \"\" for the first key; prints an empty line after the last\n"
    "  list GROUP              print every key of the group, one per line\n"
    "  exists                  print true or false: whether the storage can be reached;\n"
    "                          exit status 0 for true, 1 for false\n"
    "\n"
    "Options:\n"
    "  --remote ADDRESS:PORT   use the storage server at a numeric IPv4 or IPv6 address;\n"
    "                          IPv6 addresses are written in brackets: [::1]:5000\n"
    "\n"
    "The key \"default\" names the group's default entry (for example\n"
    "'orbtool storage write environment default CODE'). On any failure the error text goes\n"
    "to stderr, nothing to stdout, and the exit status is 1; with --remote, a server that cannot\n"
    "be reached is such a failure for every operation but exists. The library's debug log goes\n"
    "to stderr with 'orbtool --verbose storage ...'.\n";

struct Remote {
    std::string address;
    uint32_t port;
    std::string text;  // as given
};

// "1.2.3.4:5000" or "[::1]:5000".
Remote parseRemote(const std::string& text) {
    std::string address;
    std::string port;
    if (!text.empty() && text[0] == '[') {
        auto close = text.find(']');
        if (close == std::string::npos || close + 1 >= text.size() || text[close + 1] != ':')
            throw std::invalid_argument("--remote: expected [IPV6]:PORT, got '" + text + "'");
        address = text.substr(1, close - 1);
        port = text.substr(close + 2);
    } else {
        auto colon = text.rfind(':');
        if (colon == std::string::npos)
            throw std::invalid_argument("--remote: expected ADDRESS:PORT, got '" + text + "'");
        address = text.substr(0, colon);
        port = text.substr(colon + 1);
        if (address.find(':') != std::string::npos)
            throw std::invalid_argument("--remote: IPv6 addresses are written in brackets, as [::1]:5000");
    }
    if (address.empty() || port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos ||
        std::stoul(port) == 0 || std::stoul(port) > 65535)
        throw std::invalid_argument("--remote: invalid port in '" + text + "'");
    return Remote{address, uint32_t(std::stoul(port)), text};
}

Ref<IStorage> openStorage(const std::optional<Remote>& remote) {
    Ref<ILibrary> library = load<ILibrary>("KestrelStorageClient");
    if (!library)
        throw std::runtime_error("KestrelStorageClient library not found.");
    Ref<IStorage> storage;
    if (remote) {
        InArray address = inArray(remote->address);
        check(library.get(), library->openRemoteStorage(&address, remote->port, storage.typedOut()));
    } else {
        check(library.get(), library->openLocalStorage(storage.typedOut()));
    }
    if (!storage)
        throw std::runtime_error("the storage client library returned no storage");
    return storage;
}

std::string readStandardInput() {
#ifdef _WIN32
    _setmode(_fileno(stdin), _O_BINARY);
#endif
    return std::string(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
}

void writeStandardOutput(const std::string& bytes) {
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size())
        throw std::runtime_error("cannot write to standard output");
    std::fflush(stdout);
}

class Operations {
public:
    explicit Operations(Ref<IStorage> storage) : storage_(std::move(storage)) {}

    std::string read(const std::string& group, const std::string& key) {
        InArray g = inArray(group), k = inArray(key);
        std::string value;
        OutArray out = outArray(value);
        check(storage_.get(), storage_->read(&g, &k, &out));
        return value;
    }
    void write(const std::string& group, const std::string& key, const std::string& value) {
        // Lengths cross the interface as 32 bits; a longer value would be stored cut short.
        if (value.size() > 0xFFFFFFFFu)
            throw std::length_error("value of " + std::to_string(value.size()) + " bytes is too large to store");
        InArray g = inArray(group), k = inArray(key), v = inArray(value);
        check(storage_.get(), storage_->write(&g, &k, &v));
    }
    void remove(const std::string& group, const std::string& key) {
        InArray g = inArray(group), k = inArray(key);
        check(storage_.get(), storage_->remove(&g, &k));
    }
    std::string next(const std::string& group, const std::string& key) {
        InArray g = inArray(group), k = inArray(key);
        std::string following;
        OutArray out = outArray(following);
        check(storage_.get(), storage_->next(&g, &k, &out));
        return following;
    }
    bool exists() {
        Boolean answer = BooleanFalse;
        check(storage_.get(), storage_->exists(&answer));
        return answer != BooleanFalse;
    }

private:
    Ref<IStorage> storage_;
};

void expectCount(const Arguments& arguments, std::size_t count, const char* usage) {
    if (arguments.size() != count)
        throw std::invalid_argument(std::string("usage: orbtool storage [--remote ADDRESS:PORT] ") + usage);
}

int runStorage(const Arguments& all) {
    try {
        Arguments arguments = all;
        std::optional<Remote> remote;
        if (!arguments.empty() && arguments[0] == "--remote") {
            if (arguments.size() < 2)
                throw std::invalid_argument("--remote needs ADDRESS:PORT");
            remote = parseRemote(arguments[1]);
            arguments.erase(arguments.begin(), arguments.begin() + 2);
        }
        if (arguments.empty())
            throw std::invalid_argument("orbtool storage: no operation given (see orbtool storage --help)");
        const std::string operation = arguments[0];
        arguments.erase(arguments.begin());

        // Arguments are checked before the library is loaded, so that a typo costs nothing.
        if (operation == "read") {
            expectCount(arguments, 2, "read GROUP KEY");
            Operations storage(openStorage(remote));
            // The library reads an unreachable server as an empty value; a user must see the
            // difference between "no value" and "no server".
            if (remote && !storage.exists())
                throw std::runtime_error("the storage server at " + remote->text + " cannot be reached");
            writeStandardOutput(storage.read(arguments[0], arguments[1]));
        } else if (operation == "write") {
            expectCount(arguments, 3, "write GROUP KEY VALUE");
            Operations storage(openStorage(remote));
            storage.write(arguments[0], arguments[1], arguments[2] == "-" ? readStandardInput() : arguments[2]);
        } else if (operation == "remove") {
            expectCount(arguments, 2, "remove GROUP KEY");
            Operations(openStorage(remote)).remove(arguments[0], arguments[1]);
        } else if (operation == "next") {
            expectCount(arguments, 2, "next GROUP KEY");
            writeStandardOutput(Operations(openStorage(remote)).next(arguments[0], arguments[1]) + "\n");
        } else if (operation == "list") {
            expectCount(arguments, 1, "list GROUP");
            Operations storage(openStorage(remote));
            // Collected first, so that a failure half-way prints nothing.
            std::string listing;
            std::set<std::string> seen;
            for (std::string key = storage.next(arguments[0], ""); !key.empty(); key = storage.next(arguments[0], key)) {
                if (!seen.insert(key).second)
                    throw std::runtime_error("the keys of group '" + arguments[0] + "' repeat at '" + key + "'");
                listing += key + "\n";
            }
            writeStandardOutput(listing);
        } else if (operation == "exists") {
            expectCount(arguments, 0, "exists");
            const bool reachable = Operations(openStorage(remote)).exists();
            writeStandardOutput(reachable ? "true\n" : "false\n");
            return reachable ? 0 : 1;
        } else {
            throw std::invalid_argument("orbtool storage: unknown operation '" + operation + "' (see orbtool storage --help)");
        }
        return 0;
    } catch (const std::exception& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}

const OrbTool::CommandRegistration registration{"storage", "read and write stored values (local or --remote)",
                                                storageHelp, runStorage};

} // namespace

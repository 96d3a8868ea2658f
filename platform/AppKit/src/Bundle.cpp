// NSBundle: the bundle that holds a class, its nibs and its string tables.
#include "StringsTable.h"

#include <Foundation/Foundation.h>
#include <macsim/Bundle.h>
#include <macsim/CFString.h>
#include <macsim/Disk.h>
#include <macsim/Nib.h>

#include <dlfcn.h>

namespace fs = std::filesystem;

namespace {

// A resource name from the caller: one plain file name, never a path.
bool isPlainName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

} // namespace

NSBundle::NSBundle(fs::path path) : path_(std::move(path)) {}

NSBundle::~NSBundle() {
    for (auto& [name, table] : tables_) {
        for (auto& [key, value] : table)
            CFRelease(value);
    }
}

NSBundle* NSBundle::bundleAt(const fs::path& path) {
    auto* bundle = new NSBundle(path);
    bundle->autorelease();
    return bundle;
}

NSBundle* NSBundle::mainBundle() {
    fs::path folder = macsim::bundleFolder(CFBundleGetMainBundle());
    return folder.empty() ? nullptr : bundleAt(folder);
}

NSBundle* NSBundle::bundleForClass(Class cls) {
    // The class's type information lies in the shared object that defines the class; that
    // object is a bundle's executable, or else the class belongs to the application.
    Dl_info info{};
    if (cls != nullptr && dladdr(cls, &info) != 0 && info.dli_fname != nullptr &&
        info.dli_fname[0] != '\0') {
        if (CFBundleRef bundle = macsim::bundleForExecutable(info.dli_fname)) {
            fs::path folder = macsim::bundleFolder(bundle);
            CFRelease(bundle);
            if (!folder.empty())
                return bundleAt(folder);
        }
    }
    return mainBundle();
}

BOOL NSBundle::loadNibNamed(NSString* name, id owner) {
    if (owner == nullptr)
        return NO;
    std::string file = macsim::stringText(name);
    NSBundle* bundle = bundleForClass(owner->getClass());
    if (bundle == nullptr || !isPlainName(file))
        return NO;
    fs::path path = bundle->path_ / "Contents" / "Resources" / (file + ".nib");
    return macsim::loadNibFile(path).has_value() ? YES : NO;
}

NSString* NSBundle::localizedStringForKey_value_table(NSString* key, NSString* value,
                                                      NSString* table) {
    std::string tableName = table != nullptr ? macsim::stringText(table) : std::string();
    if (tableName.empty())
        tableName = "Localizable";
    auto found = tables_.find(tableName);
    if (found == tables_.end()) {
        std::map<std::string, CFStringRef> strings;
        std::optional<std::vector<std::uint8_t>> bytes;
        if (isPlainName(tableName))
            bytes = macsim::readFile(path_ / "Contents" / "Resources" / (tableName + ".strings"),
                                     macsim::kMaxStringsTableSize);
        if (bytes) {
            std::string_view text(reinterpret_cast<const char*>(bytes->data()), bytes->size());
            for (auto& [k, v] : macsim::parseStringsTable(text)) {
                if (CFStringRef string = macsim::makeString(v))
                    strings.emplace(k, string);
            }
        }
        found = tables_.emplace(tableName, std::move(strings)).first;
    }
    if (key != nullptr) {
        auto translation = found->second.find(macsim::stringText(key));
        if (translation != found->second.end())
            return (NSString*)translation->second;
    }
    if (value != nullptr && CFStringGetLength(value) > 0)
        return value;
    return key;
}

#include <CarbonCore/Files.h>
#include <CarbonCore/Resources.h>
#include <CoreFoundation/CoreFoundation.h>
#include <macsim/AppleDouble.h>
#include <macsim/CFURL.h>
#include <macsim/Disk.h>
#include <macsim/Folders.h>
#include <macsim/Handles.h>
#include <macsim/NoDestructor.h>
#include <macsim/ResourceFiles.h>
#include <macsim/ResourceFork.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <string>
#include <system_error>
#include <unistd.h>
#include <unordered_map>
#include <vector>

namespace macsim {

namespace {

// One open resource file: its fork as a model, and the handles loaded from it.
struct OpenFile {
    ResFileRefNum refNum = 0;
    fs::path path; // NAME, or the data-fork resource file
    ForkLocation location = ForkLocation::companion;
    AppleDouble companion; // everything else the companion holds, written back unchanged
    ResourceFork fork;
    bool writable = false;
    bool changed = false; // the model differs from the file
    // Parallel to fork.resources(): the loaded handle, and whether it holds data added by
    // AddResource that the model does not have yet.
    std::vector<Handle> handles;
    std::vector<bool> handleIsNewer;

    fs::path storage() const {
        return location == ForkLocation::companion ? companionPath(path) : path;
    }
};

struct ResourceManager {
    std::vector<std::unique_ptr<OpenFile>> chain; // in the order opened
    OpenFile* current = nullptr;
    OSErr lastError = noErr;
    bool applicationFileTried = false;
    ResFileRefNum lastRefNum = 0;
    std::unordered_map<Handle, OpenFile*> owners;
};

void detach(Handle h);

ResourceManager& manager() {
    static NoDestructor<ResourceManager> instance;
    // The Memory Manager tells us before it frees one of our handles.
    static const bool observing = (setDisposeObserver(detach), true);
    (void)observing;
    return *instance;
}

OSErr setError(OSErr err) {
    manager().lastError = err;
    return err;
}

OpenFile* fileFor(ResFileRefNum refNum) {
    for (auto& file : manager().chain)
        if (file->refNum == refNum)
            return file.get();
    return nullptr;
}

// The index of h's resource in its file.
std::size_t indexOf(const OpenFile& file, Handle h) {
    return std::size_t(std::find(file.handles.begin(), file.handles.end(), h) -
                       file.handles.begin());
}

// Copies the data of added resources from their handles into the model.
void takeNewerHandles(OpenFile& file) {
    auto& resources = file.fork.resources();
    for (std::size_t i = 0; i < resources.size(); ++i) {
        if (!file.handleIsNewer[i])
            continue;
        auto bytes = handleBytes(file.handles[i]);
        resources[i].data.assign(bytes.begin(), bytes.end());
        file.handleIsNewer[i] = false;
        file.changed = true;
    }
}

// Writes the model to the file: the whole companion (or file) to a temporary, then renamed
// over the old one, so the file on disk is always either the old or the new whole.
OSErr writeOut(OpenFile& file) {
    takeNewerHandles(file);
    auto fork = file.fork.serialize();
    if (!fork)
        return ioErr;
    std::vector<std::uint8_t> bytes;
    if (file.location == ForkLocation::companion) {
        AppleDouble companion = file.companion;
        if (!companion.setEntry(AppleDouble::resourceForkId, std::move(*fork)))
            return ioErr;
        bytes = companion.serialize();
    } else {
        bytes = std::move(*fork);
    }
    std::error_code ec;
    const fs::path storage = file.storage();
    auto status = fs::status(storage, ec);
    const fs::perms perms = ec ? fs::perms::owner_read | fs::perms::owner_write |
                                     fs::perms::group_read | fs::perms::others_read
                               : status.permissions();
    if (!writeFileAtomically(storage, bytes, perms))
        return ioErr;
    file.changed = false;
    return noErr;
}

OSErr loadFile(const fs::path& path, ForkLocation where, OpenFile& file) {
    std::error_code ec;
    if (!fs::exists(path, ec) || fs::is_directory(path, ec))
        return fnfErr;
    file.path = path;
    file.location = where;
    const fs::path storage = file.storage();
    if (!fs::exists(storage, ec))
        return fnfErr;
    auto bytes = readFile(storage, kMaxCompanionSize);
    if (!bytes)
        return ioErr;
    std::span<const std::uint8_t> forkBytes = *bytes;
    if (where == ForkLocation::companion) {
        auto companion = AppleDouble::parse(*bytes);
        if (!companion)
            return mapReadErr;
        file.companion = std::move(*companion);
        const auto* entry = file.companion.entry(AppleDouble::resourceForkId);
        if (!entry)
            return eofErr;
        forkBytes = entry->data;
    }
    // A 0-byte fork has no map: there is nothing to open (an empty fork has a map).
    if (forkBytes.empty())
        return eofErr;
    auto fork = ResourceFork::parse(forkBytes);
    if (!fork)
        return mapReadErr;
    file.fork = std::move(*fork);
    file.handles.assign(file.fork.resources().size(), nullptr);
    file.handleIsNewer.assign(file.fork.resources().size(), false);
    return noErr;
}

bool canWrite(const OpenFile& file) {
    const fs::path storage = file.storage();
    const fs::path folder = storage.parent_path().empty() ? "." : storage.parent_path();
    return ::access(folder.c_str(), W_OK | X_OK) == 0 && ::access(storage.c_str(), W_OK) == 0;
}

ResFileRefNum nextRefNum() {
    ResourceManager& rm = manager();
    do {
        rm.lastRefNum = rm.lastRefNum >= 0x7FFF ? 1 : ResFileRefNum(rm.lastRefNum + 1);
    } while (fileFor(rm.lastRefNum));
    return rm.lastRefNum;
}

ResFileRefNum openFile(const fs::path& path, ForkLocation where, SInt8 permission) {
    if (permission < fsCurPerm || permission > fsRdWrShPerm) {
        setError(paramErr);
        return -1;
    }
    std::error_code ec;
    for (auto& file : manager().chain) {
        if (fs::equivalent(file->path, path, ec)) {
            manager().current = file.get();
            setError(noErr);
            return file->refNum;
        }
    }
    auto file = std::make_unique<OpenFile>();
    if (OSErr err = loadFile(path, where, *file); err != noErr) {
        setError(err);
        return -1;
    }
    const bool wantsWrite = permission != fsRdPerm;
    const bool mapAllowsWrite = !(file->fork.mapAttributes() & ResourceFork::mapReadOnly);
    file->writable = wantsWrite && mapAllowsWrite && canWrite(*file);
    if (wantsWrite && permission != fsCurPerm && mapAllowsWrite && !file->writable) {
        setError(permErr);
        return -1;
    }
    file->refNum = nextRefNum();
    manager().current = file.get();
    manager().chain.push_back(std::move(file));
    setError(noErr);
    return manager().current->refNum;
}

// The application's resource file, Resources/<executable>.rsrc of the main bundle, opened on the
// first call of the process (the first is typically main's CurResFile()).
void openApplicationFile() {
    ResourceManager& rm = manager();
    if (rm.applicationFileTried)
        return;
    rm.applicationFileTried = true;
    CFBundleRef bundle = CFBundleGetMainBundle();
    if (!bundle)
        return;
    CFURLRef resources = CFBundleCopyResourcesDirectoryURL(bundle);
    CFURLRef executable = CFBundleCopyExecutableURL(bundle);
    const std::optional<fs::path> folder = fileURLPath(resources);
    const std::optional<fs::path> program = fileURLPath(executable);
    if (resources)
        CFRelease(resources);
    if (executable)
        CFRelease(executable);
    if (!folder || !program || program->filename().empty())
        return;
    const fs::path file = *folder / (program->filename().string() + ".rsrc");
    std::error_code ec;
    if (fs::is_regular_file(file, ec))
        openFile(file, ForkLocation::dataFork, fsRdPerm);
}

// Every exported call starts here.
ResourceManager& begin() {
    openApplicationFile();
    return manager();
}

Handle loadHandle(OpenFile& file, std::size_t index) {
    if (Handle h = file.handles[index]) {
        setError(noErr);
        return h;
    }
    Handle h = newHandleWithBytes(file.fork.resources()[index].data);
    if (!h) {
        setError(memFullErr);
        return nullptr;
    }
    file.handles[index] = h;
    manager().owners[h] = &file;
    setError(noErr);
    return h;
}

// Nothing when the file has no such resource; else its handle (null when memory ran out).
std::optional<Handle> find(OpenFile& file, ResType type, ResID id) {
    auto& resources = file.fork.resources();
    for (std::size_t i = 0; i < resources.size(); ++i)
        if (resources[i].type == type && resources[i].id == id)
            return loadHandle(file, i);
    return std::nullopt;
}

// Forgets a resource's handle, keeping added data it held in the model first.
void detach(Handle h) {
    auto it = manager().owners.find(h);
    if (it == manager().owners.end())
        return;
    OpenFile& file = *it->second;
    const std::size_t index = indexOf(file, h);
    if (file.handleIsNewer[index])
        takeNewerHandles(file);
    file.handles[index] = nullptr;
    manager().owners.erase(it);
}

// The file and index of a resource handle; null with ResError() resNotFound for other handles.
OpenFile* ownerOf(Handle h, std::size_t& index) {
    auto it = h ? manager().owners.find(h) : manager().owners.end();
    if (it == manager().owners.end()) {
        setError(resNotFound);
        return nullptr;
    }
    index = indexOf(*it->second, h);
    return it->second;
}

// Applies change to the data of a resource and writes the file; on failure the model keeps the
// old data, as the file does.
template <typename Change> void changeOnDisk(Handle h, Change change) {
    std::size_t index = 0;
    OpenFile* file = ownerOf(h, index);
    if (!file)
        return;
    if (!file->writable) {
        setError(wrPermErr);
        return;
    }
    takeNewerHandles(*file);
    auto& data = file->fork.resources()[index].data;
    std::vector<std::uint8_t> old = data;
    if (OSErr err = change(data); err != noErr) {
        data = std::move(old);
        setError(err);
        return;
    }
    if (!file->fork.limitError().empty()) {
        data = std::move(old);
        setError(paramErr);
        return;
    }
    if (OSErr err = writeOut(*file); err != noErr) {
        data = std::move(old);
        setError(err);
        return;
    }
    setError(noErr);
}

void closeFile(OpenFile* file) {
    ResourceManager& rm = manager();
    // An added resource marks its file changed, so writeOut takes its handle's data.
    const OSErr err = file->changed ? writeOut(*file) : OSErr(noErr);
    for (Handle h : file->handles) {
        if (h) {
            rm.owners.erase(h);
            freeHandle(h);
        }
    }
    auto it = std::find_if(rm.chain.begin(), rm.chain.end(),
                           [&](const auto& f) { return f.get() == file; });
    if (rm.current == file)
        rm.current = it == rm.chain.begin() ? nullptr : std::prev(it)->get();
    rm.chain.erase(it);
    setError(err);
}

} // namespace

ResFileRefNum openResourceFile(const fs::path& path, ForkLocation where, ResourceAccess access) {
    begin();
    return openFile(path, where, access == ResourceAccess::readOnly ? fsRdPerm : fsRdWrPerm);
}

void resetResourceManager() {
    ResourceManager& rm = manager();
    while (!rm.chain.empty())
        closeFile(rm.chain.back().get());
    rm.current = nullptr;
    rm.applicationFileTried = false;
    rm.lastError = noErr;
}

} // namespace macsim

using namespace macsim;

// HOpenResFile
ResFileRefNum HOpenResFile(FSVolumeRefNum vRefNum, SInt32 dirID, ConstStr255Param fileName,
                           SInt8 permission) {
    begin();
    OSErr err = noErr;
    auto path = filePathFor(vRefNum, dirID, fileName, err);
    if (!path) {
        setError(err);
        return -1;
    }
    return openFile(*path, ForkLocation::companion, permission);
}

// HCreateResFile
void HCreateResFile(FSVolumeRefNum vRefNum, SInt32 dirID, ConstStr255Param fileName) {
    begin();
    OSErr err = noErr;
    auto path = filePathFor(vRefNum, dirID, fileName, err);
    if (!path) {
        setError(err);
        return;
    }
    const fs::path companionFile = companionPath(*path);
    std::error_code ec;
    bool createdFile = false;
    if (!fs::exists(*path, ec)) {
        const int fd = ::open(path->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0) {
            setError(errno == EACCES ? permErr : ioErr);
            return;
        }
        ::close(fd);
        createdFile = true;
    }
    AppleDouble companion;
    if (!createdFile && fs::exists(companionFile, ec)) {
        auto bytes = readFile(companionFile, kMaxCompanionSize);
        auto parsed = bytes ? AppleDouble::parse(*bytes) : std::nullopt;
        if (!parsed) {
            // Something we cannot read is left exactly as it is.
            setError(dupFNErr);
            return;
        }
        const auto* fork = parsed->entry(AppleDouble::resourceForkId);
        if (fork && !fork->data.empty()) {
            setError(dupFNErr);
            return;
        }
        companion = std::move(*parsed);
    } else {
        companion.setEntry(AppleDouble::finderInfoId, AppleDouble::finderInfo(0, 0));
    }
    auto emptyFork = ResourceFork().serialize();
    if (!emptyFork || !companion.setEntry(AppleDouble::resourceForkId, std::move(*emptyFork)) ||
        !writeFileAtomically(companionFile, companion.serialize())) {
        if (createdFile)
            fs::remove(*path, ec);
        setError(ioErr);
        return;
    }
    setError(noErr);
}

// UseResFile
void UseResFile(ResFileRefNum refNum) {
    ResourceManager& rm = begin();
    if (refNum == 0) {
        rm.current = nullptr;
        setError(noErr);
        return;
    }
    OpenFile* file = fileFor(refNum);
    if (!file) {
        setError(resFNotFound);
        return;
    }
    rm.current = file;
    setError(noErr);
}

// CurResFile
ResFileRefNum CurResFile(void) {
    ResourceManager& rm = begin();
    setError(noErr);
    return rm.current ? rm.current->refNum : 0;
}

// GetResource
Handle GetResource(ResType type, ResID id) {
    ResourceManager& rm = begin();
    auto it = std::find_if(rm.chain.begin(), rm.chain.end(),
                           [&](const auto& f) { return f.get() == rm.current; });
    if (it != rm.chain.end()) {
        // From the current file down to the first one opened.
        for (auto file = std::make_reverse_iterator(std::next(it)); file != rm.chain.rend();
             ++file) {
            if (auto h = find(**file, type, id))
                return *h;
        }
    }
    setError(resNotFound);
    return nullptr;
}

// Get1Resource
Handle Get1Resource(ResType type, ResID id) {
    ResourceManager& rm = begin();
    if (rm.current)
        if (auto h = find(*rm.current, type, id))
            return *h;
    setError(resNotFound);
    return nullptr;
}

// ReleaseResource
void ReleaseResource(Handle resource) {
    begin();
    std::size_t index = 0;
    if (!ownerOf(resource, index))
        return;
    detach(resource);
    freeHandle(resource);
    setError(noErr);
}

// GetResourceSizeOnDisk
Size GetResourceSizeOnDisk(Handle resource) {
    begin();
    std::size_t index = 0;
    OpenFile* file = ownerOf(resource, index);
    if (!file)
        return -1;
    setError(noErr);
    return Size(file->fork.resources()[index].data.size());
}

// SetResourceSize
void SetResourceSize(Handle resource, Size newSize) {
    begin();
    changeOnDisk(resource, [&](std::vector<std::uint8_t>& data) -> OSErr {
        if (newSize < 0 || newSize > Size(ResourceFork::maxDataOffset))
            return paramErr;
        data.resize(std::size_t(newSize), 0);
        return noErr;
    });
}

// WritePartialResource
void WritePartialResource(Handle resource, SInt32 offset, const void* buffer, Size count) {
    begin();
    changeOnDisk(resource, [&](std::vector<std::uint8_t>& data) -> OSErr {
        if (offset < 0 || count < 0 || (count > 0 && !buffer) ||
            count > Size(ResourceFork::maxDataOffset))
            return paramErr;
        const std::size_t end = std::size_t(offset) + std::size_t(count);
        if (end > ResourceFork::maxDataOffset)
            return paramErr;
        if (end > data.size())
            data.resize(end, 0);
        if (count > 0)
            std::memcpy(data.data() + offset, buffer, std::size_t(count));
        return noErr;
    });
}

// AddResource
void AddResource(Handle data, ResType type, ResID id, ConstStr255Param name) {
    ResourceManager& rm = begin();
    if (!isHandle(data) || rm.owners.count(data) || !rm.current || !rm.current->writable) {
        setError(addResFailed);
        return;
    }
    OpenFile& file = *rm.current;
    Resource resource;
    resource.type = type;
    resource.id = id;
    if (name && name[0] > 0)
        resource.name.emplace(reinterpret_cast<const char*>(name + 1), name[0]);
    auto bytes = handleBytes(data);
    resource.data.assign(bytes.begin(), bytes.end());
    if (file.fork.add(std::move(resource))) {
        setError(addResFailed);
        return;
    }
    // The handle stays the truth until the file is written: the caller may still change it.
    file.handles.push_back(data);
    file.handleIsNewer.push_back(true);
    rm.owners[data] = &file;
    file.changed = true;
    setError(noErr);
}

// UpdateResFile
void UpdateResFile(ResFileRefNum refNum) {
    begin();
    OpenFile* file = fileFor(refNum);
    if (!file) {
        setError(resFNotFound);
        return;
    }
    setError(file->changed ? writeOut(*file) : OSErr(noErr));
}

// CloseResFile
void CloseResFile(ResFileRefNum refNum) {
    begin();
    OpenFile* file = fileFor(refNum);
    if (!file) {
        setError(resFNotFound);
        return;
    }
    closeFile(file);
}

// ResError
OSErr ResError(void) {
    return manager().lastError;
}

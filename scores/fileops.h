#pragma once
// The few file operations that reading and replacing the high-score file
// need, behind an interface: the system's own, or one that a test wraps to
// fail a step or to stop the program in the middle of a replacement.

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace scores {

struct Status {
    enum Code { Ok, Missing, Folder, Failed };
    Code code = Ok;
    // The system's own words for a failure, e.g. "No space left on device".
    std::string detail;

    explicit operator bool() const { return code == Ok; }
    static Status failed(std::string detail) { return {Failed, std::move(detail)}; }
};

class FileOps {
public:
    virtual ~FileOps() = default;

    // Reads a file from its start until it holds ten line ends or ends.
    virtual Status readStart(const std::string &name, std::string &bytes) = 0;

    // Output goes to one file at a time: create opens it emptied, write
    // appends, sync puts everything written on the disk, close ends it.
    virtual Status create(const std::string &name) = 0;
    virtual Status write(std::string_view bytes) = 0;
    virtual Status sync() = 0;
    virtual Status close() = 0;

    // Gives `from` the name `to` in one step, replacing the file of that
    // name, so that `to` names the old or the new file at every moment.
    virtual Status replace(const std::string &from, const std::string &to) = 0;
    // Puts the folder's entries (the new name) on the disk. Nothing to do
    // where the replacement itself writes through.
    virtual Status syncFolder() = 0;

    // Removes a file if it is there; never fails loudly.
    virtual void remove(const std::string &name) = 0;

    // The full path of a file in the working directory, for messages.
    virtual std::string displayPath(const std::string &name) = 0;
};

// The operating system's files in the working directory.
std::unique_ptr<FileOps> makeSystemFileOps();

// Passes every operation on to `inner`, first calling `before(step, what)`
// with the number of operations done so far and the operation's name
// ("read", "create", "write", "sync", "close", "replace", "sync folder").
// remove and displayPath are passed on without a step.
class SteppedFileOps : public FileOps {
public:
    using Hook = std::function<void(int step, std::string_view what)>;
    SteppedFileOps(FileOps &inner, Hook before) : m_inner(inner), m_before(std::move(before)) {}

    Status readStart(const std::string &name, std::string &bytes) override
    {
        step("read");
        return m_inner.readStart(name, bytes);
    }
    Status create(const std::string &name) override
    {
        step("create");
        return m_inner.create(name);
    }
    Status write(std::string_view bytes) override
    {
        step("write");
        return m_inner.write(bytes);
    }
    Status sync() override
    {
        step("sync");
        return m_inner.sync();
    }
    Status close() override
    {
        step("close");
        return m_inner.close();
    }
    Status replace(const std::string &from, const std::string &to) override
    {
        step("replace");
        return m_inner.replace(from, to);
    }
    Status syncFolder() override
    {
        step("sync folder");
        return m_inner.syncFolder();
    }
    void remove(const std::string &name) override { m_inner.remove(name); }
    std::string displayPath(const std::string &name) override { return m_inner.displayPath(name); }

    int steps() const { return m_steps; }

protected:
    FileOps &inner() { return m_inner; }

private:
    void step(std::string_view what)
    {
        if (m_before)
            m_before(m_steps, what);
        ++m_steps;
    }

    FileOps &m_inner;
    Hook m_before;
    int m_steps = 0;
};

} // namespace scores

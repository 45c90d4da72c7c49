#pragma once
// File operations that count their steps and can stop a replacement at any
// of them: the tests kill, stop or fail a save there.

#include "fileops.h"

#include <functional>
#include <string_view>

namespace scores {

// Passes every operation on to `inner`, first calling `before(step, what)`
// with the number of operations done so far and the operation's name
// ("read", "lock", "create", "write", "sync", "close", "replace",
// "sync folder", "unlock"). Operation number `failAt`, when given, fails
// with "injected failure" instead; a failing write puts half of its bytes
// on the disk first, as a disk that fills up would, and a failing close
// closes all the same. remove and displayPath are passed on without a step.
class SteppedFileOps : public FileOps {
public:
    using Hook = std::function<void(int step, std::string_view what)>;
    SteppedFileOps(FileOps &inner, Hook before, int failAt = -1)
        : m_inner(inner), m_before(std::move(before)), m_failAt(failAt)
    {
    }

    Status readStart(const std::string &name, std::string &bytes) override
    {
        return step("read") ? injected() : m_inner.readStart(name, bytes);
    }
    Status lock(const std::string &name, const std::string &like,
                std::chrono::milliseconds patience) override
    {
        return step("lock") ? injected() : m_inner.lock(name, like, patience);
    }
    void unlock() override
    {
        step("unlock");
        m_inner.unlock();
    }
    Status create(const std::string &name, const std::string &like) override
    {
        return step("create") ? injected() : m_inner.create(name, like);
    }
    Status write(std::string_view bytes) override
    {
        if (!step("write"))
            return m_inner.write(bytes);
        m_inner.write(bytes.substr(0, bytes.size() / 2));
        return injected();
    }
    Status sync() override { return step("sync") ? injected() : m_inner.sync(); }
    Status close() override
    {
        const bool fails = step("close");
        const Status status = m_inner.close();
        return fails ? injected() : status;
    }
    Status replace(const std::string &from, const std::string &to) override
    {
        return step("replace") ? injected() : m_inner.replace(from, to);
    }
    Status syncFolder() override { return step("sync folder") ? injected() : m_inner.syncFolder(); }
    void remove(const std::string &name) override { m_inner.remove(name); }
    std::string displayPath(const std::string &name) override { return m_inner.displayPath(name); }

    int steps() const { return m_steps; }

private:
    // Counts the step; true when it is the one to fail.
    bool step(std::string_view what)
    {
        if (m_before)
            m_before(m_steps, what);
        return m_steps++ == m_failAt;
    }
    static Status injected() { return Status::failed("injected failure"); }

    FileOps &m_inner;
    Hook m_before;
    int m_failAt;
    int m_steps = 0;
};

} // namespace scores

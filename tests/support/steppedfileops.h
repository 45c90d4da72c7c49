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
// "sync folder", "unlock").
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
    Status lock(const std::string &name, const std::string &like,
                std::chrono::milliseconds patience) override
    {
        step("lock");
        return m_inner.lock(name, like, patience);
    }
    void unlock() override
    {
        step("unlock");
        m_inner.unlock();
    }
    Status create(const std::string &name, const std::string &like) override
    {
        step("create");
        return m_inner.create(name, like);
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

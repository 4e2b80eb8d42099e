#include "platform/core/MessageLoop.h"

bool IMessageLoop::Post(CMsgTarget* target, UINT msg, WPARAM wParam, LPARAM lParam,
                        std::shared_ptr<const void> payload) {
    if (!target || !IsAlive(target->Handle())) return false;
    Enqueue(PostedMessage{target->Handle(), msg, wParam, lParam, std::move(payload)});
    return true;
}

bool IMessageLoop::PostTo(std::uint64_t handle, UINT msg, WPARAM wParam, LPARAM lParam,
                          std::shared_ptr<const void> payload) {
    if (!IsAlive(handle)) return false;
    Enqueue(PostedMessage{handle, msg, wParam, lParam, std::move(payload)});
    return true;
}

LRESULT IMessageLoop::Send(CMsgTarget* target, UINT msg, WPARAM wParam, LPARAM lParam) {
    return target ? target->WindowProc(msg, wParam, lParam) : 0;
}

std::uint64_t IMessageLoop::Register(CMsgTarget* target) {
    std::lock_guard<std::mutex> lock(m_RegistryLock);
    std::uint64_t handle = m_NextHandle++;
    m_Targets.emplace(handle, target);
    return handle;
}

void IMessageLoop::Unregister(CMsgTarget* target) {
    {
        std::lock_guard<std::mutex> lock(m_RegistryLock);
        m_Targets.erase(target->Handle());
    }
    ForgetTarget(target->Handle());
}

bool IMessageLoop::IsAlive(std::uint64_t handle) const {
    std::lock_guard<std::mutex> lock(m_RegistryLock);
    return m_Targets.count(handle) != 0;
}

void IMessageLoop::Deliver(const PostedMessage& message) {
    CMsgTarget* target = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_RegistryLock);
        auto it = m_Targets.find(message.target);
        if (it == m_Targets.end()) return;
        target = it->second;
    }
    // Targets are destroyed on the loop thread only, so the pointer stays
    // valid while its handler runs.
    target->WindowProc(message.msg, message.wParam, message.lParam);
}

CMsgTarget::CMsgTarget(IMessageLoop& loop) : m_Loop(loop), m_Handle(loop.Register(this)) {}

CMsgTarget::~CMsgTarget() { m_Loop.Unregister(this); }

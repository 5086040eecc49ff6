// Base behaviour of resources.
#include "Assets/Resource/IResource.h"

#include <cstring>
#include <new>

namespace Brivet::Assets::Resource
{
IResource::IResource(Compositing::Graph* graph, Demo* demo)
    : graph(graph), demo(demo)
{
    refCount = 0;
}

IResource::~IResource() = default;

// Out of line on purpose: the zeroing must not be visible to the compiler where the
// constructor runs, or it may drop it as a store to an object that is not alive yet.
void* IResource::operator new(size_t size)
{
    void* block = ::operator new(size);
    memset(block, 0, size);
    return block;
}

void IResource::operator delete(void* block)
{
    ::operator delete(block);
}

bool IResource::IsCompatible(const Base::StaticString<64>& type) const
{
    Base::StaticString<64> own;
    GetTypeName(own);
    return own.GetHashLower() == type.GetHashLower();
}

bool IResource::CreateDynamic(const Utility::XML::Node* xml)
{
    return true;
}

bool IResource::WriteXml(const Utility::XML::Node& xml)
{
    return true;
}

void IResource::Unload()
{
}

uint32_t IResource::GetMemorySize()
{
    return 0;
}

uint32_t IResource::AcquireTarget()
{
    return 0;
}

uint32_t IResource::ReleaseTarget()
{
    return 0;
}

void IResource::Invalidate()
{
}

void IResource::OnResize()
{
}

void IResource::SetDebugName(const Base::String& name)
{
}
} // namespace Brivet::Assets::Resource

// Cube render target: six faces and an optional depth buffer of its own.
#include "repository/Resources/CubeTextureRenderTarget.h"

#include "Demo.h"
#include "Graphics/DepthStencil.h"
#include "Graphics/Format.h"
#include "Graphics/System.h"
#include "Graphics/TextureCube.h"
#include "Graphics/TextureFlags.h"
#include "Utility/Log.h"
#include "Utility/XML/ChildIterator.h"
#include "Utility/XML/Node.h"

#include <d3d11.h>

using Brivet::Base::StaticString;
using Brivet::Utility::Log;

namespace
{
uint32_t FormatByName(const Brivet::Base::String& name)
{
    uint32_t format = 0;
    return Brivet::Graphics::FormatFromName(name.GetText(), &format) ? format : 0;
}
} // namespace

CubeTextureRenderTarget::CubeTextureRenderTarget(Brivet::Compositing::Graph* graph)
    : Texture(graph), cube(nullptr), depth(nullptr)
{
    renderTarget = 1;
    settings.width = DefaultEdge;
    settings.height = DefaultEdge;
}

CubeTextureRenderTarget::~CubeTextureRenderTarget()
{
    Destroy();
}

void CubeTextureRenderTarget::Destroy()
{
    delete depth;
    delete cube;
    depth = nullptr;
    cube = nullptr;
}

void CubeTextureRenderTarget::GetTypeName(StaticString<64>& type) const
{
    type = StaticString<64>("cubetexture");
}

bool CubeTextureRenderTarget::IsCompatible(const StaticString<64>& type) const
{
    static const StaticString<64> own("cubetexture");
    static const StaticString<64> texture("texture");
    return type.GetHashLower() == own.GetHashLower() || type.GetHashLower() == texture.GetHashLower();
}

bool CubeTextureRenderTarget::Load(const char* path)
{
    return false;
}

bool CubeTextureRenderTarget::CreateDynamic(const Brivet::Utility::XML::Node* xml)
{
    Destroy();
    settings.width = DefaultEdge;
    settings.height = DefaultEdge;
    settings.format = TextureSettings::FormatR8G8B8A8Unorm;
    settings.depthFormat = 0;
    if (xml)
    {
        Brivet::Utility::XML::ChildIterator it("rendertarget");
        if (it.Next(*xml))
            ParseRenderTarget(it.GetCurrent());
    }
    if (!demo)
        return false;

    Brivet::Graphics::System* system = &demo->system;
    const uint32_t edge = settings.width;
    cube = new Brivet::Graphics::TextureCube(system);
    if (!cube->Create(edge, settings.format,
                      Brivet::Graphics::TextureFlags::DepthReadable | Brivet::Graphics::TextureFlags::RenderTarget,
                      nullptr))
    {
        Log::Error("[cubetexture] Cannot create a cube of edge %u (format %u)", edge, settings.format);
        Destroy();
        return false;
    }
    if (settings.depthFormat)
    {
        depth = new Brivet::Graphics::DepthStencil(system);
        if (!depth->Create(edge, edge, settings.depthFormat, 0))
        {
            Log::Error("[cubetexture] Cannot create a depth buffer of %u x %u", edge, edge);
            Destroy();
            return false;
        }
    }
    Invalidate();
    return true;
}

void CubeTextureRenderTarget::ParseRenderTarget(const Brivet::Utility::XML::Node& element)
{
    Brivet::Base::String text;
    if (element.GetAttribute("dimensions", text))
    {
        int edge = 0;
        // A negative or unreadable edge leaves the default; Direct3D refuses 0 and sizes
        // beyond its limit, which fails the creation.
        if (text.Scan("%d", &edge) == 1 && edge >= 0)
        {
            settings.width = static_cast<uint32_t>(edge);
            settings.height = static_cast<uint32_t>(edge);
        }
    }
    // A description without "format" keeps R8G8B8A8_UNORM.
    if (element.GetAttribute("format", text))
        settings.format = FormatByName(text);
    if (element.GetAttribute("depthFormat", text))
        settings.depthFormat = FormatByName(text);
}

bool CubeTextureRenderTarget::WriteXml(const Brivet::Utility::XML::Node& xml)
{
    if (!xml.GetHandle())
        return false;
    pugi::xml_node target = xml.GetHandle().append_child("rendertarget");
    Brivet::Base::String text;
    text.Format("%u", settings.width);
    target.append_attribute("dimensions").set_value(text.GetText());
    // A format without a name in the table is written as no attribute.
    if (const char* name = Brivet::Graphics::FormatToName(settings.format))
        target.append_attribute("format").set_value(name);
    if (settings.depthFormat)
    {
        if (const char* name = Brivet::Graphics::FormatToName(settings.depthFormat))
            target.append_attribute("depthFormat").set_value(name);
    }
    return true;
}

void CubeTextureRenderTarget::Unload()
{
    Destroy();
}

uint32_t CubeTextureRenderTarget::GetMemorySize()
{
    if (!cube)
        return 0;
    const uint64_t bytes = cube->GetMemorySize();
    return bytes > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(bytes);
}

uint32_t CubeTextureRenderTarget::AcquireTarget()
{
    return 0;
}

uint32_t CubeTextureRenderTarget::ReleaseTarget()
{
    return 0;
}

void CubeTextureRenderTarget::Invalidate()
{
    if (!renderTarget)
        return;
    if (cube)
    {
        ID3D11DeviceContext* context = cube->GetSystem()->GetContext();
        const float black[4] = {0.0f, 0.0f, 0.0f, 0.0f};
        for (uint32_t face = 0; face < Brivet::Graphics::TextureCube::FaceCount; ++face)
        {
            if (ID3D11RenderTargetView* view = cube->GetFaceView(face))
                context->ClearRenderTargetView(view, black);
        }
    }
    if (depth && depth->GetDepthStencilView())
        depth->GetSystem()->GetContext()->ClearDepthStencilView(depth->GetDepthStencilView(), D3D11_CLEAR_DEPTH,
                                                                 1.0f, 0);
}

void CubeTextureRenderTarget::OnResize()
{
}

Brivet::Graphics::ITexture* CubeTextureRenderTarget::GetTexture()
{
    return cube;
}

Brivet::Graphics::ITexture* CubeTextureRenderTarget::GetDepthTexture()
{
    return depth;
}

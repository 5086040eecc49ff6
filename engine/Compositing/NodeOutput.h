// The output node of a graph: fixes the graph's output size from an aspect ratio and
// the back buffer (a letterbox), composes its inputs into a picture of its own when
// it is dirty, and draws that picture onto the back buffer in every pass.
#pragma once

#include "Compositing/INode.h"

namespace Brivet::Graphics
{
class ITexture;
class RenderTarget;
}

namespace Brivet::Compositing
{
class NodeOutput : public INode
{
public:
    // The first live output node creates the program, quad and states all output
    // nodes share; the last one destroyed deletes them.
    NodeOutput(Graph* graph, uint32_t id);
    ~NodeOutput() override;

    uint32_t GetType() override { return KindOutput; }
    const Base::StaticString<64>& GetTypeName() override;
    const Base::StaticString<64>& GetOutputTypeName() override;
    // "aspectRatio" of the "output" child ("16:9" without one), the letterbox and the
    // composed picture's target. False when the shared objects or the target failed.
    bool Load(const Utility::XML::Node& element) override;
    bool Save(const Utility::XML::Node& element) override;
    bool Unload() override; // deletes the composed picture's target
    // An output node has no resource: the assertion, then null.
    Assets::Resource::IResource* GetOutput() override;
    void OnResize() override;

    // width, height and scale from aspectRatio and the demo's back-buffer size.
    void UpdateAspect();
    // Draws the texture inputs, in connection order, each over the previous, into the
    // node's own picture. Called in the passes in which the node is dirty.
    void Compose();
    // Draws the picture onto the back buffer, letterboxed; nothing before the first
    // Compose that found a texture input. Called in every pass.
    void Present();

    // Output nodes alive now (they share one program, quad and state set).
    static uint32_t GetLiveCount();

    // How an input's colour texture is found: null for a resource that is not a texture
    // (or a pooled one that holds no target). The default knows the texture resource;
    // tests put their own in. Returns the previous function.
    using InputTextureFunction = Graphics::ITexture* (*)(Assets::Resource::IResource* resource);
    static InputTextureFunction SetInputTexture(InputTextureFunction function);

    Base::String aspectRatio;
    uint32_t width; // letterboxed output size in pixels; 0 until loaded
    uint32_t height;
    float scale[2]; // clip-space scale of the quad that makes the letterbox

private:
    // Binds target's view to "texInput", the shared program, states and quad, and draws
    // at quadScale.
    void Draw(Graphics::ITexture* texture, const float* quadScale);

    Graphics::RenderTarget* picture; // owned; width × height
    bool hasPicture; // a Compose drew at least one input
};
} // namespace Brivet::Compositing

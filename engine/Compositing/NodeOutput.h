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
    // What output nodes draw with: the Direct3D program, quad, states and picture of
    // NodeOutputD3D11.cpp, or a host test's own. The shared objects are made when the
    // first live node is constructed and released after the last one is destroyed.
    struct Drawing
    {
        bool (*createShared)(Demo* demo); // demo may be null; false when they cannot be made
        void (*destroyShared)();
        bool (*load)(NodeOutput& node); // the node's picture of width × height; false (logged) on failure
        void (*unload)(NodeOutput& node);
        void (*compose)(NodeOutput& node);
        void (*present)(NodeOutput& node);
    };

    // The letterbox of an aspect ratio on a screen.
    struct Letterbox
    {
        uint32_t width;
        uint32_t height;
        float scale[2]; // clip-space scale of the quad: the bars
    };

    NodeOutput(Graph* graph, uint32_t id); // the Direct3D drawing (Windows)
    NodeOutput(Graph* graph, uint32_t id, const Drawing& drawing);
    ~NodeOutput() override;

    uint32_t GetType() override { return KindOutput; }
    const Base::StaticString<64>& GetTypeName() override;
    const Base::StaticString<64>& GetOutputTypeName() override;
    // "aspectRatio" of the "output" child ("16:9" without one), the letterbox and the
    // composed picture's target. False (logged) for a ratio that gives no output, or when
    // the shared objects or the target failed.
    bool Load(const Utility::XML::Node& element) override;
    bool Save(const Utility::XML::Node& element) override;
    bool Unload() override; // deletes the composed picture's target
    // An output node has no resource: the assertion, then null.
    Assets::Resource::IResource* GetOutput() override;
    void OnResize() override;

    // width, height and scale from aspectRatio and the demo's back-buffer size; false,
    // with width and height 0, when the ratio gives no output.
    bool UpdateAspect();
    // Draws the texture inputs, in connection order, each over the previous, into the
    // node's own picture. Called in the passes in which the node is dirty.
    void Compose();
    // Draws the picture onto the back buffer, letterboxed; nothing before the first
    // Compose that found a texture input. Called in every pass.
    void Present();

    // aspectRatio read as "%g:%g" (a number that does not parse keeps 16 or 9), fitted
    // into the screen: bars above and below when the output is at least as wide as the
    // screen, else left and right. False for a ratio that is not a finite positive
    // number, or one that leaves a side of 0 pixels.
    static bool Fit(const Base::String& aspectRatio, uint32_t screenWidth, uint32_t screenHeight, Letterbox& box);

    // Output nodes alive now (they share one program, quad and state set).
    static uint32_t GetLiveCount();

    // How an input's colour texture is found: null for a resource that is not a texture
    // (or a pooled one that holds no target). The default knows texture resources;
    // tests put their own in. Returns the previous function.
    using InputTextureFunction = Graphics::ITexture* (*)(Assets::Resource::IResource* resource);
    static InputTextureFunction SetInputTexture(InputTextureFunction function);

    Base::String aspectRatio;
    uint32_t width; // letterboxed output size in pixels; 0 until loaded
    uint32_t height;
    float scale[2]; // clip-space scale of the quad that makes the letterbox

    // The drawing's own: the picture (width × height, owned) and whether a Compose drew
    // an input into it.
    Graphics::RenderTarget* picture;
    bool hasPicture;

private:
    const Drawing& drawing;
};
} // namespace Brivet::Compositing

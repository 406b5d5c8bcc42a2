// One KVF scene: materials, meshes, cameras, lights, shapes, helpers, the node
// tree that moves them, the frame range and rate and the ambient colour,
// loaded from a member of the resource pack.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/d3d8/d3d8_types.h"

#include "math/engine_math.h"
#include "scene/object_list.h"

class CCamera;
class CHelper;
class CLight;
class CMaterial;
class CMesh;
class CModifierGizmo;
class CModifierSkin;
class CNode;
class CPackFile;
class CShape;
class CTextMap;
class IDirect3DDevice8;
class TransparentFaceList;

// The archive every scene is read from unless told otherwise.
constexpr const char* kDefaultPackName = "data.pac";

class CScene {
public:
    CScene();
    virtual ~CScene();
    CScene(const CScene&) = delete;
    CScene& operator=(const CScene&) = delete;

    // Once after loading: prepares materials, lights, shapes and meshes (the
    // device buffers), adds the default camera when there is none, binds
    // skin bones by name, prepares the node controllers, poses frame 0,
    // collects the transparent faces and evaluates every modifier chain
    // once. 0, or 1 after a message; the scene is then only fit to be
    // destroyed. Without a device nothing is made on one.
    virtual int Prepare(IDirect3DDevice8* device);
    // The opaque part of a frame: ambient, the first camera's view and
    // projection, the frustum, the lights, the shapes and the meshes in view.
    virtual void Draw(IDirect3DDevice8* device);

    // Reads the KVF member `fileName` of `archiveName`. 0 on success; 1 after
    // a message when the member cannot be opened, the header is wrong or a
    // record is corrupted (whatever was read is released with the scene).
    int LoadScene(const char* fileName, const char* archiveName = kDefaultPackName);
    // The same from a stream at the start of a KVF file; `fileName` names it
    // in messages.
    int ReadScene(CPackFile* file, const char* fileName);
    // Samples every node at frameTime (frames), then the modifiers and the
    // materials' animated offsets.
    void Update(float frameTime);
    // Draw, then the transparent faces sorted farthest first. The render
    // states the materials change (cull, fill, blending) are put back as they
    // were, so what draws next does not inherit them; the scene's lights stay
    // on (Draw switches off those an earlier scene left beyond its own).
    void Render(IDirect3DDevice8* device);

    // ---- Modifier preparation (no device needed) ---------------------------
    // What Prepare does for the modifiers, without a device: every mesh's
    // PrepareMeshModifiers, the node controllers, Update(0) and
    // PrepareModifierChains. For tools that deform without drawing. 0, or 1
    // after the message of a bone that cannot be found.
    int PrepareModifiers();
    // Right after a mesh's own preparation: its box and deformed copy
    // (CMesh::PrepareDeformation), then each skin prepared and its bones
    // bound by name to meshes (which are then hidden) or helpers. 0, or 1
    // after "LibKVF : Cannot find the bone : %s".
    int PrepareMeshModifiers(CMesh* mesh);
    // After the frame-0 update: every modifier but the skins receives the
    // mesh's box and pivot and is prepared, then each mesh runs its chain
    // once (EvaluateModifiers).
    void PrepareModifierChains();
    // Puts a prepared scene back in the state Prepare left it in: the nodes
    // at frame 0, every mesh's box taken from its base vertices and its
    // chain evaluated once from there, the transparent faces in their first
    // order. The modifiers' bounds come from the box the previous evaluation
    // left, so a scene played up to a frame and one restored and posed at
    // that frame can differ; restoring makes a jump to a frame give what a
    // fresh load gives. 0, or 1 when the transparent faces cannot be
    // collected again.
    int RestorePreparedState();

    // The first object of that list with exactly this name (case-sensitive),
    // or null.
    CMesh* RetrieveMesh(const char* name) const;
    CCamera* RetrieveCamera(const char* name) const;
    CLight* RetrieveLight(const char* name) const;
    CShape* RetrieveShape(const char* name) const;
    CHelper* RetrieveHelper(const char* name) const;

    // ---- Record readers ----------------------------------------------------
    // Each reads one record at the stream's position into a freshly
    // constructed object and returns 0, or 1 after its own message when the
    // record is corrupted (a count that is negative or cannot fit in the rest
    // of the member, an index out of range) or memory is short.

    int ReadMaterial(CPackFile* file, CMaterial* material);
    // `nesting` is 0 for a material's own maps; sub-maps nest deeper.
    int ReadTextMap(CPackFile* file, CTextMap* map, int nesting);
    // Mesh records and their modifier block (defined with the mesh).
    int ReadMesh(CPackFile* file, CMesh* mesh);
    int ReadModifiers(CPackFile* file, CMesh* mesh);
    int ReadSkin(CPackFile* file, CModifierSkin* skin, CMesh* mesh, bool matrixFirst);
    int ReadGizmoHeader(CPackFile* file, CModifierGizmo* modifier);
    int ReadCamera(CPackFile* file, CCamera* camera);
    int ReadLight(CPackFile* file, CLight* light);
    int ReadShape(CPackFile* file, CShape* shape);
    int ReadHelper(CPackFile* file, CHelper* helper);
    // The rest of a node record after its depth; binds the node's object.
    int ReadNode(CPackFile* file, CNode* node);

    // ---- Contents ----------------------------------------------------------

    int32_t materialCount;
    CMaterial* materials;           // owned array (new[]) of materialCount
    CObjectList<CMesh> meshes;      // file order
    CObjectList<CCamera> cameras;
    CObjectList<CLight> lights;
    CObjectList<CShape> shapes;
    CObjectList<CHelper> helpers;
    CObjectList<CNode> roots;       // depth-0 nodes and orphans, file order
    CObjectList<CNode> leftOutNodes; // nodes whose depth skipped a level
    FrustumPlanes frustum;          // rebuilt every drawn frame
    int32_t startFrame;
    int32_t endFrame;
    int32_t frameRate;              // frames per second
    uint32_t ambientColour;         // 0x00RRGGBB
    TransparentFaceList* transparentFaces; // owned; made by Prepare

private:
    struct NodeBindingIndex;

    int ReadObjectStream(CPackFile* file);
    int ReadNodeStream(CPackFile* file);
    int BindNodeObject(CPackFile* file, CNode* node);

    // The objects by name while the node stream is read; null otherwise.
    NodeBindingIndex* m_bindingIndex;
    // The meshes whose chains a frame runs together before drawing; room for
    // every mesh is made by Prepare.
    std::vector<CMesh*> m_chainsToRun;
};

// Texture-map records nest; deeper nesting than this is refused as corrupted.
constexpr int kMaxTextMapNesting = 32;

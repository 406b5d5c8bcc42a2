#include "tools/inspect/scene_json.h"

#include "scene/camera.h"
#include "scene/helper_object.h"
#include "scene/light.h"
#include "scene/material.h"
#include "scene/mesh.h"
#include "scene/node.h"
#include "scene/scene.h"
#include "scene/shape.h"
#include "scene/texture_map.h"
#include "tools/inspect/engine_json.h"
#include "tools/inspect/json_writer.h"
#include "tools/inspect/modifier_json.h"

namespace {

void Colour(JsonWriter& json, const char* key, const D3DCOLORVALUE& c)
{
    json.Key(key);
    const float values[3] = {c.r, c.g, c.b};
    json.FloatArray(values, 3);
}

void Flag(JsonWriter& json, const char* key, uint8_t value)
{
    json.Key(key);
    json.Int(value != 0 ? 1 : 0);
}

void Name(JsonWriter& json, const char* name)
{
    json.Key("name");
    json.String(name != nullptr ? name : "");
}

// Sub-maps nest only as deep as the reader allows, so recursion is bounded.
void TextMaps(JsonWriter& json, const CTextMap* maps, int32_t count)
{
    json.BeginArray();
    for (int32_t i = 0; i < count; ++i) {
        const CTextMap& map = maps[i];
        json.BeginObject();
        json.Key("kind");
        json.Int(map.kind);
        Name(json, map.name);
        json.Key("file");
        json.String(map.fileName);
        Flag(json, "animated", map.animated);
        json.Key("uOffset");
        json.Float(map.uOffset);
        json.Key("vOffset");
        json.Float(map.vOffset);
        json.Key("subMaps");
        TextMaps(json, map.subMaps, map.subMapCount);
        json.EndObject();
    }
    json.EndArray();
}

void Materials(JsonWriter& json, const CScene& scene)
{
    json.BeginArray();
    for (int32_t i = 0; i < scene.materialCount; ++i) {
        const CMaterial& m = scene.materials[i];
        json.BeginObject();
        Name(json, m.name);
        json.Key("id");
        json.Int(m.id);
        Colour(json, "ambient", m.ambient);
        Colour(json, "diffuse", m.diffuse);
        Colour(json, "specular", m.specular);
        json.Key("power");
        json.Float(m.power);
        json.Key("transparency");
        json.Float(m.transparency);
        Flag(json, "twoSided", m.twoSided);
        Flag(json, "wireframe", m.wireframe);
        json.Key("blendKind");
        json.Int(m.blendKind);
        json.Key("maps");
        TextMaps(json, m.maps, m.mapCount);
        json.EndObject();
    }
    json.EndArray();
}

void Vertices(JsonWriter& json, const char* key, const std::vector<MeshVertex>& vertices)
{
    json.Key(key);
    json.BeginArray();
    for (const MeshVertex& v : vertices) {
        json.BeginArray();
        json.Float(v.x);
        json.Float(v.y);
        json.Float(v.z);
        json.Float(v.nx);
        json.Float(v.ny);
        json.Float(v.nz);
        json.Int(v.colour);
        json.Float(v.u);
        json.Float(v.v);
        json.EndArray();
    }
    json.EndArray();
}

void Meshes(JsonWriter& json, const CScene& scene, const InspectOptions& options)
{
    json.BeginArray();
    for (const CMesh* mesh : scene.meshes) {
        json.BeginObject();
        Name(json, mesh->name);
        Flag(json, "visible", mesh->visible);
        Flag(json, "lighting", mesh->lightingFlag);
        json.Key("positionCount");
        json.Int(mesh->positionCount);
        json.Key("vertexCount");
        json.Int(mesh->vertexCount);
        json.Key("faceCount");
        json.Int(mesh->faceCount);
        Vector(json, "boxMin", mesh->boxMin);
        Vector(json, "boxMax", mesh->boxMax);
        Vector(json, "pivot", mesh->pivot);
        Matrix(json, "world", mesh->world);
        json.Key("modifiers");
        json.BeginArray();
        for (const CModifier* modifier : mesh->modifiers) {
            WriteModifierJson(json, *modifier, options.vertices);
        }
        json.EndArray();
        if (options.vertices) {
            Vertices(json, "vertices", mesh->baseVertices);
            json.Key("faces");
            json.BeginArray();
            for (const MeshFace& face : mesh->faces) {
                json.BeginArray();
                json.Int(face.corners[0]);
                json.Int(face.corners[1]);
                json.Int(face.corners[2]);
                json.Int(face.materialId);
                json.EndArray();
            }
            json.EndArray();
        }
        if (options.deformed && !mesh->modifiers.Empty()) {
            Vertices(json, "deformed", mesh->deformedVertices);
            Vector(json, "deformedBoxMin", mesh->boxMin);
            Vector(json, "deformedBoxMax", mesh->boxMax);
        }
        json.EndObject();
    }
    json.EndArray();
}

void Target(JsonWriter& json, const CTargetObject* target)
{
    if (target != nullptr) {
        Vector(json, "target", target->position);
    } else {
        json.Key("target");
        json.Null();
    }
}

void Cameras(JsonWriter& json, const CScene& scene)
{
    json.BeginArray();
    for (const CCamera* camera : scene.cameras) {
        json.BeginObject();
        Name(json, camera->name);
        Vector(json, "position", camera->position);
        Target(json, camera->target);
        json.Key("fov");
        json.Float(camera->fieldOfView);
        Matrix(json, "world", camera->world);
        json.EndObject();
    }
    json.EndArray();
}

void Lights(JsonWriter& json, const CScene& scene)
{
    json.BeginArray();
    for (const CLight* light : scene.lights) {
        json.BeginObject();
        Name(json, light->name);
        json.Key("type");
        json.Int(light->type);
        Vector(json, "position", light->position);
        Target(json, light->target);
        Colour(json, "colour", light->colour);
        json.Key("multiplier");
        json.Float(light->multiplier);
        json.Key("hotspot");
        json.Float(light->hotspot);
        json.Key("falloff");
        json.Float(light->falloff);
        Flag(json, "rangeFlag", light->rangeFlag);
        json.Key("range");
        json.Float(light->range);
        json.EndObject();
    }
    json.EndArray();
}

void Shapes(JsonWriter& json, const CScene& scene)
{
    json.BeginArray();
    for (const CShape* shape : scene.shapes) {
        json.BeginObject();
        Name(json, shape->name);
        json.Key("splines");
        json.BeginArray();
        for (int32_t i = 0; i < shape->splineCount; ++i) {
            const ShapeSpline& spline = shape->splines[i];
            json.BeginObject();
            Flag(json, "closed", spline.closed);
            json.Key("points");
            json.BeginArray();
            for (int32_t p = 0; p < spline.pointCount; ++p) {
                json.FloatArray(&spline.points[p].x, 3);
            }
            json.EndArray();
            json.EndObject();
        }
        json.EndArray();
        json.EndObject();
    }
    json.EndArray();
}

void Helpers(JsonWriter& json, const CScene& scene)
{
    json.BeginArray();
    for (const CHelper* helper : scene.helpers) {
        json.BeginObject();
        Name(json, helper->name);
        json.Key("subtype");
        json.Int(helper->subtype);
        Vector(json, "pivot", helper->pivot);
        Matrix(json, "world", helper->world);
        json.EndObject();
    }
    json.EndArray();
}

// Opens a node's object up to its "children" array, which stays open.
void OpenNode(JsonWriter& json, const CNode& node)
{
    json.BeginObject();
    json.Key("kind");
    json.Int(node.kind);
    Name(json, node.name);
    json.Key("depth");
    json.Int(node.depth);
    json.Key("bound");
    json.Bool(node.object != nullptr);
    Vector(json, "position", node.position);
    json.Key("rotation");
    const float rotation[4] = {node.rotation.x, node.rotation.y, node.rotation.z, node.rotation.w};
    json.FloatArray(rotation, 4);
    Vector(json, "scale", node.scale);
    Matrix(json, "world", node.world);
    json.Key("children");
    json.BeginArray();
}

void CloseNode(JsonWriter& json)
{
    json.EndArray();
    json.EndObject();
}

// Trees may be very deep: walk them with the parent and sibling links.
void Nodes(JsonWriter& json, const CScene& scene)
{
    json.BeginArray();
    for (const CNode* root : scene.roots) {
        const CNode* node = root;
        while (node != nullptr) {
            OpenNode(json, *node);
            if (node->children.First() != nullptr) {
                node = node->children.First();
                continue;
            }
            while (true) {
                CloseNode(json);
                if (node == root) {
                    node = nullptr;
                    break;
                }
                if (node->nextSibling != nullptr) {
                    node = node->nextSibling;
                    break;
                }
                node = node->parent;
            }
        }
    }
    json.EndArray();
}

} // namespace

void WriteSceneJson(JsonWriter& json, const CScene& scene, const char* fileName, const InspectOptions& options)
{
    json.BeginObject();
    json.Key("file");
    json.String(fileName);
    json.Key("startFrame");
    json.Int(scene.startFrame);
    json.Key("endFrame");
    json.Int(scene.endFrame);
    json.Key("frameRate");
    json.Int(scene.frameRate);
    json.Key("ambient");
    json.Int(scene.ambientColour);
    json.Key("materials");
    Materials(json, scene);
    json.Key("meshes");
    Meshes(json, scene, options);
    json.Key("cameras");
    Cameras(json, scene);
    json.Key("lights");
    Lights(json, scene);
    json.Key("shapes");
    Shapes(json, scene);
    json.Key("helpers");
    Helpers(json, scene);
    json.Key("nodes");
    Nodes(json, scene);
    json.EndObject();
}

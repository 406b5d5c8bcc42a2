#include "tools/import/finite_values.h"

#include <cmath>

namespace import {

namespace {

class Replacer {
public:
    int replaced = 0;

    void Value(float& v, float neutral = 0.0f)
    {
        if (!std::isfinite(v)) {
            v = neutral;
            ++replaced;
        }
    }

    void Vector(kvf::Vec3& v)
    {
        Value(v.x);
        Value(v.y);
        Value(v.z);
    }

    void Matrix(kvf::Matrix43& m)
    {
        for (float v : m.m) {
            if (!std::isfinite(v)) {
                m = kvf::Matrix43();
                ++replaced;
                return;
            }
        }
    }

    // `rotation`: a key whose axis or angle is not finite becomes no turn;
    // `neutral` fills the values of other keys.
    void Track(kvf::Controller& controller, float neutral = 0.0f, bool rotation = false)
    {
        for (kvf::Key& key : controller.keys) {
            Value(key.time);
            Value(key.params.tension);
            Value(key.params.continuity);
            Value(key.params.bias);
            Value(key.params.easeFrom);
            Value(key.params.easeTo);
            for (float& v : key.skipped) {
                Value(v);
            }
            bool finite = true;
            for (float v : key.value) {
                finite = finite && std::isfinite(v);
            }
            if (rotation && !finite) {
                key.value[0] = key.value[1] = 0.0f;
                key.value[2] = 1.0f;
                key.value[3] = 0.0f;
                ++replaced;
            }
            for (float& v : key.value) {
                Value(v, neutral);
            }
        }
    }

    void Parameter(kvf::FloatParameter& p)
    {
        Value(p.constant);
        Track(p.controller);
    }

    void Mesh(kvf::Mesh& mesh)
    {
        Matrix(mesh.transform);
        Vector(mesh.pivot);
        for (kvf::Vec3& p : mesh.positions) {
            Vector(p);
        }
        for (kvf::FaceNormals& n : mesh.normals) {
            Vector(n.a);
            Vector(n.b);
            Vector(n.c);
        }
        for (kvf::Uv& uv : mesh.uvs) {
            Value(uv.u);
            Value(uv.v);
        }
        for (kvf::Vec3& c : mesh.colours) {
            Vector(c);
        }
        for (kvf::Modifier& modifier : mesh.modifiers.entries) {
            Matrix(modifier.gizmo.matrix);
            Track(modifier.gizmo.position);
            Track(modifier.gizmo.offset);
            Track(modifier.gizmo.scale, 1.0f);
            Track(modifier.gizmo.rotation, 0.0f, true);
            for (kvf::FloatParameter& p : modifier.parameters) {
                Parameter(p);
            }
            Matrix(modifier.skin.meshMatrix);
            for (kvf::SkinBone& bone : modifier.skin.bones) {
                Matrix(bone.bind);
            }
            for (kvf::SkinVertex& vertex : modifier.skin.vertices) {
                for (kvf::SkinInfluence& influence : vertex.influences) {
                    Value(influence.weight);
                }
            }
        }
    }

    void Object(kvf::Object& object)
    {
        if (auto* mesh = std::get_if<kvf::Mesh>(&object)) {
            Mesh(*mesh);
        } else if (auto* camera = std::get_if<kvf::Camera>(&object)) {
            Vector(camera->position);
            Vector(camera->target);
            Value(camera->parameter1);
            Value(camera->parameter2);
            Value(camera->fieldOfView, 0.785398f);
        } else if (auto* light = std::get_if<kvf::Light>(&object)) {
            Vector(light->position);
            Vector(light->target);
            Vector(light->colour);
            Value(light->multiplier, 1.0f);
            Value(light->hotspot);
            Value(light->falloff);
            Value(light->rangeValue1);
            Value(light->range);
        } else if (auto* shape = std::get_if<kvf::Shape>(&object)) {
            Matrix(shape->transform);
            Vector(shape->pivot);
            for (kvf::Spline& spline : shape->splines) {
                for (kvf::Vec3& p : spline.points) {
                    Vector(p);
                }
            }
        } else if (auto* helper = std::get_if<kvf::Helper>(&object)) {
            Matrix(helper->transform);
            Vector(helper->pivot);
            Vector(helper->vector1);
            Vector(helper->vector2);
        }
    }
};

} // namespace

int ReplaceNonFiniteValues(kvf::Scene* scene)
{
    Replacer r;
    r.Vector(scene->ambient);
    for (kvf::Material& material : scene->materials) {
        r.Vector(material.ambient);
        r.Vector(material.diffuse);
        r.Vector(material.specular);
        r.Value(material.reserved);
        r.Value(material.power);
        r.Value(material.transparency);
        r.Value(material.reserved2[0]);
        r.Value(material.reserved2[1]);
        std::vector<kvf::TextMap*> maps;
        for (kvf::TextMap& map : material.maps) {
            maps.push_back(&map);
        }
        while (!maps.empty()) {
            kvf::TextMap* map = maps.back();
            maps.pop_back();
            r.Value(map->u);
            r.Value(map->v);
            for (kvf::OffsetKey& key : map->keys) {
                r.Value(key.time);
                r.Value(key.u);
                r.Value(key.v);
            }
            for (kvf::TextMap& sub : map->subMaps) {
                maps.push_back(&sub);
            }
        }
    }
    for (kvf::Object& object : scene->objects) {
        r.Object(object);
    }
    for (kvf::Node& node : scene->nodes) {
        r.Vector(node.pivot);
        r.Track(node.position);
        r.Track(node.rotation, 0.0f, node.rotationSelector == 1);
        r.Track(node.scale, 1.0f);
    }
    return r.replaced;
}

} // namespace import

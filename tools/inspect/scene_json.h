// A loaded scene as one JSON document (the schema is in docs/inspect.md).
#pragma once

class CScene;
class JsonWriter;

struct InspectOptions {
    // Also list every mesh's built vertices and faces (and skin influences).
    bool vertices = false;
    // Meshes with modifiers also carry their deformed vertices and box (the
    // caller has prepared and evaluated the chains).
    bool deformed = false;
};

void WriteSceneJson(JsonWriter& json, const CScene& scene, const char* fileName, const InspectOptions& options);

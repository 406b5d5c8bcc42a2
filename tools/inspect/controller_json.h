// Controllers as JSON: their kind and keys as read (null for no controller).
#pragma once

class CControllerFloat;
class CControllerRotation;
class CControllerVector;
class JsonWriter;

void WriteControllerJson(JsonWriter& json, const CControllerVector* controller);
void WriteControllerJson(JsonWriter& json, const CControllerRotation* controller);
void WriteControllerJson(JsonWriter& json, const CControllerFloat* controller);

import OrbOpenGlEngine 1.0

OGLTexture {}

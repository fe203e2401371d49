// The fixed-function pipeline as generated GLSL: one vertex and one fragment
// shader per configuration (vertex format, lighting, material sources,
// texture stage 0, alpha test), identified by a 64-bit key. Programs are
// built on first use and cached by the device; nothing here keeps state.
#include "gl_backend.h"

#include <stdio.h>
#include <string>

namespace d3d9 {

namespace {

std::string ArgExpr(int arg) {
    std::string e;
    switch (arg & 0xf) {
    case D3DTA_DIFFUSE: e = "diffuse"; break;
    case D3DTA_TEXTURE: e = "tex"; break;
    case D3DTA_TFACTOR: e = "u_tfactor"; break;
    case D3DTA_SPECULAR: e = "specular"; break;
    case D3DTA_TEMP: e = "vec4(0.0)"; break;
    default: e = "current"; break;
    }
    if (arg & D3DTA_COMPLEMENT) e = "(vec4(1.0) - " + e + ")";
    if (arg & D3DTA_ALPHAREPLICATE) e = e + ".aaaa";
    return e;
}

// The expression of one texture operation on one channel group (".rgb" or ".a").
std::string OpExpr(int op, int arg1, int arg2, const char* ch) {
    const std::string a = "(" + ArgExpr(arg1) + ")" + ch;
    const std::string b = "(" + ArgExpr(arg2) + ")" + ch;
    switch (op) {
    case D3DTOP_SELECTARG2: return b;
    case D3DTOP_MODULATE: return a + " * " + b;
    case D3DTOP_MODULATE2X: return a + " * " + b + " * 2.0";
    case D3DTOP_MODULATE4X: return a + " * " + b + " * 4.0";
    case D3DTOP_ADD: return a + " + " + b;
    case D3DTOP_ADDSIGNED: return a + " + " + b + " - 0.5";
    case D3DTOP_ADDSIGNED2X: return "(" + a + " + " + b + " - 0.5) * 2.0";
    case D3DTOP_SUBTRACT: return a + " - " + b;
    case D3DTOP_ADDSMOOTH: return a + " + " + b + " - " + a + " * " + b;
    case D3DTOP_BLENDDIFFUSEALPHA: return "mix(" + b + ", " + a + ", diffuse.a)";
    case D3DTOP_BLENDTEXTUREALPHA: return "mix(" + b + ", " + a + ", tex.a)";
    case D3DTOP_BLENDFACTORALPHA: return "mix(" + b + ", " + a + ", u_tfactor.a)";
    case D3DTOP_BLENDCURRENTALPHA: return "mix(" + b + ", " + a + ", current.a)";
    default: return a;  // SELECTARG1
    }
}

const char* MaterialColor(int source, const char* material) {
    return source == 1 ? "a_diffuse" : source == 2 ? "a_specular" : material;
}

std::string VertexShaderSource(const ShaderConfig& c) {
    std::string s = "#version 330 core\n";
    const char* flat = c.flat ? "flat " : "";
    s += "layout(location = 0) in vec4 a_pos;\n"
         "layout(location = 1) in vec3 a_normal;\n"
         "layout(location = 2) in vec4 a_diffuse;\n"
         "layout(location = 3) in vec4 a_specular;\n"
         "layout(location = 4) in vec4 a_tex;\n"
         "uniform mat4 u_wvp;\n"
         "uniform mat4 u_wv;\n"
         "uniform mat3 u_normal;\n"
         "uniform vec4 u_vpmap;\n"
         "uniform vec2 u_zmap;\n"
         "uniform vec2 u_halfpixel;\n"
         "uniform vec4 u_ambient;\n"
         "uniform vec4 u_mat_diffuse, u_mat_ambient, u_mat_specular, u_mat_emissive;\n"
         "uniform float u_mat_power;\n"
         "uniform vec3 u_light_dir[8];\n"
         "uniform vec4 u_light_diffuse[8], u_light_specular[8], u_light_ambient[8];\n";
    s += std::string(flat) + "out vec4 v_diffuse;\n";
    s += std::string(flat) + "out vec4 v_specular;\n";
    s += "out vec2 v_tex;\n"
         "void main() {\n";
    if (c.rhw) {
        // Screen-space vertices: Direct3D pixel centres sit at integers, GL's at
        // half-integers; u_vpmap folds the half-pixel shift and the viewport in.
        s += "  float w = a_pos.w != 0.0 ? 1.0 / a_pos.w : 1.0;\n"
             "  vec3 ndc = vec3(a_pos.x * u_vpmap.x + u_vpmap.y, a_pos.y * u_vpmap.z + u_vpmap.w,\n"
             "                  a_pos.z * u_zmap.x + u_zmap.y);\n";
        if (c.remapDepth) s += "  ndc.z = ndc.z * 2.0 - 1.0;\n";
        s += "  gl_Position = vec4(ndc * w, w);\n";
    } else {
        s += "  vec4 p = vec4(a_pos.xyz, 1.0);\n"
             "  vec4 cp = u_wvp * p;\n"
             "  cp.xy += u_halfpixel * cp.w;\n";
        if (c.remapDepth) s += "  cp.z = cp.z * 2.0 - cp.w;\n";
        s += "  gl_Position = cp;\n";
    }
    if (c.lighting) {
        s += std::string("  vec3 n = ") + (c.hasNormal ? "u_normal * a_normal" : "vec3(0.0)") + ";\n";
        if (c.normalize) s += "  float nl = length(n);\n  if (nl > 0.0) n /= nl;\n";
        s += std::string("  vec4 md = ") + MaterialColor(c.diffuseSrc, "u_mat_diffuse") + ";\n";
        s += std::string("  vec4 ma = ") + MaterialColor(c.ambientSrc, "u_mat_ambient") + ";\n";
        s += std::string("  vec4 ms = ") + MaterialColor(c.specularSrc, "u_mat_specular") + ";\n";
        s += std::string("  vec4 me = ") + MaterialColor(c.emissiveSrc, "u_mat_emissive") + ";\n";
        s += "  vec3 ambientSum = vec3(0.0), diffuseSum = vec3(0.0), specularSum = vec3(0.0);\n";
        if (c.specularEnable) {
            s += c.localViewer ? "  vec3 toEye = normalize(-(u_wv * p).xyz);\n"
                               : "  vec3 toEye = vec3(0.0, 0.0, -1.0);\n";
        }
        s += "  for (int i = 0; i < " + std::to_string(c.numLights) +
             "; ++i) {\n"
             "    vec3 L = -u_light_dir[i];\n"
             "    float d = clamp(dot(n, L), 0.0, 1.0);\n"
             "    ambientSum += u_light_ambient[i].rgb;\n"
             "    diffuseSum += u_light_diffuse[i].rgb * d;\n";
        if (c.specularEnable) {
            s += "    if (d > 0.0) {\n"
                 "      float nh = max(dot(n, normalize(toEye + L)), 0.0);\n"
                 "      float f = u_mat_power > 0.0 ? (nh > 0.0 ? pow(nh, u_mat_power) : 0.0) : 1.0;\n"
                 "      specularSum += u_light_specular[i].rgb * f;\n"
                 "    }\n";
        }
        s += "  }\n"
             "  vec3 lit = me.rgb + ma.rgb * (u_ambient.rgb + ambientSum) + md.rgb * diffuseSum;\n"
             "  v_diffuse = vec4(clamp(lit, 0.0, 1.0), clamp(md.a, 0.0, 1.0));\n"
             "  v_specular = vec4(clamp(ms.rgb * specularSum, 0.0, 1.0), 0.0);\n";
    } else {
        s += std::string("  v_diffuse = ") + (c.hasDiffuse ? "a_diffuse" : "vec4(1.0)") + ";\n";
        s += std::string("  v_specular = ") + (c.hasSpecular ? "a_specular" : "vec4(0.0)") + ";\n";
    }
    s += std::string("  v_tex = ") + (c.hasTex ? "a_tex.xy" : "vec2(0.0)") + ";\n";
    // With the upper-left clip origin, negating y keeps the same window coordinates.
    if (c.flipY) s += "  gl_Position.y = -gl_Position.y;\n";
    s += "}\n";
    return s;
}

std::string FragmentShaderSource(const ShaderConfig& c) {
    std::string s = "#version 330 core\n";
    const char* flat = c.flat ? "flat " : "";
    s += std::string(flat) + "in vec4 v_diffuse;\n";
    s += std::string(flat) + "in vec4 v_specular;\n";
    s += "in vec2 v_tex;\n"
         "uniform sampler2D u_tex0;\n"
         "uniform vec4 u_tfactor;\n"
         "uniform float u_alpharef;\n"
         "out vec4 o_color;\n"
         "void main() {\n"
         "  vec4 diffuse = v_diffuse;\n"
         "  vec4 current = diffuse;\n"
         "  vec4 specular = v_specular;\n";
    s += c.sampleTexture ? "  vec4 tex = texture(u_tex0, v_tex);\n" : "  vec4 tex = vec4(1.0);\n";
    s += "  vec3 color = " + OpExpr(c.colorOp, c.colorArg1, c.colorArg2, ".rgb") + ";\n";
    s += "  float alpha = " + OpExpr(c.alphaOp, c.alphaArg1, c.alphaArg2, ".a") + ";\n";
    s += "  vec4 result = vec4(clamp(color, 0.0, 1.0), clamp(alpha, 0.0, 1.0));\n";
    if (c.specularEnable) s += "  result.rgb = min(result.rgb + specular.rgb, vec3(1.0));\n";
    if (c.alphaFunc) {
        static const char* kOps[] = {"", "false", "<", "==", "<=", ">", "!=", ">=", "true"};
        const int f = c.alphaFunc >= 1 && c.alphaFunc <= 8 ? c.alphaFunc : 8;
        s += "  float a8 = floor(result.a * 255.0 + 0.5);\n";
        if (f == D3DCMP_NEVER)
            s += "  discard;\n";
        else
            s += std::string("  if (!(a8 ") + kOps[f] + " u_alpharef)) discard;\n";
    }
    s += "  o_color = result;\n}\n";
    return s;
}

GLuint Compile(GLenum type, const std::string& source) {
    const GLuint sh = glCreateShader(type);
    const char* text = source.c_str();
    glShaderSource(sh, 1, &text, nullptr);
    glCompileShader(sh);
    GLint ok = 0;
    glGetShaderiv(sh, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        char log[2048];
        glGetShaderInfoLog(sh, sizeof log, nullptr, log);
        fprintf(stderr, "d3d9: fixed-function %s shader does not compile:\n%s\n--- source ---\n%s\n",
                type == GL_VERTEX_SHADER ? "vertex" : "fragment", log, text);
        glDeleteShader(sh);
        return 0;
    }
    return sh;
}

}  // namespace

bool BuildProgram(uint64_t key, Program* out) {
    const ShaderConfig c = UnpackShaderKey(key);
    const GLuint vs = Compile(GL_VERTEX_SHADER, VertexShaderSource(c));
    const GLuint fs = vs ? Compile(GL_FRAGMENT_SHADER, FragmentShaderSource(c)) : 0;
    if (!vs || !fs) {
        if (vs) glDeleteShader(vs);
        return false;
    }
    const GLuint prog = glCreateProgram();
    glAttachShader(prog, vs);
    glAttachShader(prog, fs);
    glLinkProgram(prog);
    glDeleteShader(vs);
    glDeleteShader(fs);
    GLint ok = 0;
    glGetProgramiv(prog, GL_LINK_STATUS, &ok);
    if (!ok) {
        char log[2048];
        glGetProgramInfoLog(prog, sizeof log, nullptr, log);
        fprintf(stderr, "d3d9: fixed-function program does not link:\n%s\n", log);
        glDeleteProgram(prog);
        return false;
    }
    out->prog = prog;
    out->uWvp = glGetUniformLocation(prog, "u_wvp");
    out->uWv = glGetUniformLocation(prog, "u_wv");
    out->uNormal = glGetUniformLocation(prog, "u_normal");
    out->uVpMap = glGetUniformLocation(prog, "u_vpmap");
    out->uZMap = glGetUniformLocation(prog, "u_zmap");
    out->uHalfPixel = glGetUniformLocation(prog, "u_halfpixel");
    out->uAmbient = glGetUniformLocation(prog, "u_ambient");
    out->uMatDiffuse = glGetUniformLocation(prog, "u_mat_diffuse");
    out->uMatAmbient = glGetUniformLocation(prog, "u_mat_ambient");
    out->uMatSpecular = glGetUniformLocation(prog, "u_mat_specular");
    out->uMatEmissive = glGetUniformLocation(prog, "u_mat_emissive");
    out->uMatPower = glGetUniformLocation(prog, "u_mat_power");
    out->uLightDir = glGetUniformLocation(prog, "u_light_dir");
    out->uLightDiffuse = glGetUniformLocation(prog, "u_light_diffuse");
    out->uLightSpecular = glGetUniformLocation(prog, "u_light_specular");
    out->uLightAmbient = glGetUniformLocation(prog, "u_light_ambient");
    out->uTexFactor = glGetUniformLocation(prog, "u_tfactor");
    out->uAlphaRef = glGetUniformLocation(prog, "u_alpharef");
    out->uTex0 = glGetUniformLocation(prog, "u_tex0");
    glUseProgram(prog);
    glUniform1i(out->uTex0, 0);
    return true;
}

}  // namespace d3d9

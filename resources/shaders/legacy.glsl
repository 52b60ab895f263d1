// The fixed-function look of plain textured drawing, one variant per combination of:
//   FOG     1: linear fog by eye depth, with the fog colour, start and end of the GL state
//   NUM_TU  textures modulated into the colour: 0, 1 (u_tex0, unit 0) or 2 (u_tex1, unit 1 too)
//   GAMMA   1: rendering into a linear (floating-point) target, so colours are decoded from the
//           display gamma: u_gamma = (gamma, 1 / gamma)
//   LIT     1: the colour lit by light 0 (directional) and the scene's ambient light
// The same file is the vertex stage (VSHADER 1) and the fragment stage (FSHADER 1).

#if FOG
varying float v_fog;
#endif

#if VSHADER

void main()
{
	gl_Position = ftransform();
	vec4 color = gl_Color;
#if LIT
	vec3 n = normalize(gl_NormalMatrix * gl_Normal);
	vec3 l = normalize(gl_LightSource[0].position.xyz);
	vec4 light = gl_LightModel.ambient + gl_LightSource[0].ambient +
	             gl_LightSource[0].diffuse * max(dot(n, l), 0.0);
	color = vec4(color.rgb * min(light.rgb, vec3(1.0)), color.a);
#endif
	gl_FrontColor = color;
#if NUM_TU > 0
	gl_TexCoord[0] = gl_TextureMatrix[0] * gl_MultiTexCoord0;
#endif
#if NUM_TU > 1
	gl_TexCoord[1] = gl_TextureMatrix[1] * gl_MultiTexCoord1;
#endif
#if FOG
	float dist = abs((gl_ModelViewMatrix * gl_Vertex).z);
	v_fog = clamp((gl_Fog.end - dist) * gl_Fog.scale, 0.0, 1.0);
#endif
}

#endif

#if FSHADER

#if NUM_TU > 0
uniform sampler2D u_tex0;
#endif
#if NUM_TU > 1
uniform sampler2D u_tex1;
#endif
#if GAMMA
uniform vec2 u_gamma;
#endif

void main()
{
	vec4 color = gl_Color;
#if NUM_TU > 0
	color *= texture2D(u_tex0, gl_TexCoord[0].st);
#endif
#if NUM_TU > 1
	color *= texture2D(u_tex1, gl_TexCoord[1].st);
#endif
#if FOG
	color.rgb = mix(gl_Fog.color.rgb, color.rgb, v_fog);
#endif
#if GAMMA
	color.rgb = pow(color.rgb, vec3(u_gamma.x));
#endif
	gl_FragColor = color;
}

#endif

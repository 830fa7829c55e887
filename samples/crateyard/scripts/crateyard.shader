// The yard's lamps: the floor's tiles, lit from below.
textures/crateyard/yard_glow
{
	qer_editorimage textures/crateyard/yard_floor.tga
	surfaceparm nomarks
	q3map_surfacelight 200
	{
		map textures/crateyard/yard_floor.tga
		rgbGen identity
	}
	{
		map $lightmap
		blendFunc GL_DST_COLOR GL_ZERO
	}
}

// The sky over the yard: a box of six images in env/crateyard/.
textures/crateyard/yard_sky
{
	qer_editorimage env/crateyard/yard_ft.tga
	surfaceparm sky
	surfaceparm noimpact
	surfaceparm nolightmap
	skyParms env/crateyard/yard 512 -
}

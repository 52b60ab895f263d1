#pragma once
// Operations on S3TC blocks in place: vertical flips, gamma correction of a block's two colours,
// and one-unit steps of a 5-6-5 colour.
//
// A colour block is 8 bytes: colour 0 and colour 1 as little-endian 5-6-5 values, then one index
// byte per texel row (row 0 first, 2 bits a texel). Colour 0 above colour 1 gives four colours;
// otherwise three and index 3 is transparent. DXT3 and DXT5 blocks are 8 bytes of alpha followed
// by a colour block.

// Each flips count consecutive blocks upside down and gamma-corrects their colours while the
// palette's gamma table is in use. The DXT1 form returns found when nonzero, else 1 when a
// three-colour block uses the transparent index, else 0; the others return 0.
int nv_flip_blocks_dxtc1(unsigned char* blocks, int count, int found);
int nv_flip_blocks_dxtc3(unsigned char* blocks, int count, int ignored);
int nv_flip_blocks_dxtc5(unsigned char* blocks, int count, int ignored);

// Reverses the four 12-bit texel rows of an 8-byte DXT5 alpha block; the endpoints stay.
int nv_flip_dxt5_alpha(unsigned char* alpha_block);

// Passes both colours of the block through the palette's gamma table, keeping the block's
// three- or four-colour mode (swapping the colours and renumbering the indices when needed).
unsigned char* nv_gamma_correct(unsigned char* colour_block);

// One unit up (green, else blue, else red) or down; 0 and unchanged at the end of the range.
int IncColor565(unsigned short& colour);
int DecColor565(unsigned short& colour);

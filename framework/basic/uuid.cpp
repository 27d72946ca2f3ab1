#include <vorna/basic/uuid.h>

#include <random>

#include <vorna/basic/corvane_exception.h>

namespace
{
    std::uint64_t random_bits()
    {
        // One generator per thread: uuid() is called from pool tasks.
        thread_local std::mt19937_64 generator{
            []
            {
                std::random_device device;
                std::seed_seq seed{ device(), device(), device(), device() };
                return std::mt19937_64{ seed };
            }() };
        return generator();
    }

    int hex_value( char c )
    {
        if( c >= '0' && c <= '9' )
        {
            return c - '0';
        }
        if( c >= 'a' && c <= 'f' )
        {
            return c - 'a' + 10;
        }
        if( c >= 'A' && c <= 'F' )
        {
            return c - 'A' + 10;
        }
        return -1;
    }
} // namespace

namespace vorna
{
    uuid::uuid() : high_{ random_bits() }, low_{ random_bits() }
    {
        // Version 4, variant 1.
        high_ = ( high_ & 0xFFFFFFFFFFFF0FFFULL ) | 0x0000000000004000ULL;
        low_ = ( low_ & 0x3FFFFFFFFFFFFFFFULL ) | 0x8000000000000000ULL;
    }

    uuid::uuid( absl::string_view text )
    {
        if( text.size() != 36 || text[8] != '-' || text[13] != '-' ||
            text[18] != '-' || text[23] != '-' )
        {
            throw CorvaneException( "[uuid] Malformed uuid text: ",
                                    std::string{ text } );
        }
        int digit{ 0 };
        for( const char c : text )
        {
            if( c == '-' )
            {
                continue;
            }
            const auto value = hex_value( c );
            if( value < 0 )
            {
                throw CorvaneException( "[uuid] Malformed uuid text: ",
                                        std::string{ text } );
            }
            auto& word = digit < 16 ? high_ : low_;
            word = ( word << 4 ) | static_cast< std::uint64_t >( value );
            digit++;
        }
    }

    std::string uuid::string() const
    {
        static constexpr char digits[] = "0123456789abcdef";
        std::string result;
        result.reserve( 36 );
        for( int i = 0; i < 32; i++ )
        {
            if( i == 8 || i == 12 || i == 16 || i == 20 )
            {
                result.push_back( '-' );
            }
            const auto word = i < 16 ? high_ : low_;
            const auto shift = 4 * ( 15 - ( i % 16 ) );
            result.push_back( digits[( word >> shift ) & 0xF] );
        }
        return result;
    }
} // namespace vorna
